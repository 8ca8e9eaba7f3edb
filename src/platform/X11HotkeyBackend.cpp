#include "platform/X11HotkeyBackend.h"

#include "hotkeys/KeyCodeMap.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>

#include <cstdlib>

namespace {

struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

constexpr quint32 noVirtualCode = 0xFFFFFFFF;
constexpr xcb_keysym_t numLockKeysym = 0xff7f;
constexpr quint16 chordModifierMask =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

// The modifier bit of each row of the server's modifier map.
constexpr quint32 rowModifiers[8] = {CarbonModifier::Shift,   0, CarbonModifier::Control,
                                     CarbonModifier::Option,  0, 0,
                                     CarbonModifier::Command, 0};

// The character a keysym types, when it types one that can name a key.
std::optional<char32_t> keysymCharacter(xcb_keysym_t sym)
{
    if ((sym > 0x20 && sym < 0x7f) || (sym > 0xa0 && sym <= 0xff)) {
        return char32_t(sym); // Latin-1 keysyms are their code points
    }
    if ((sym & 0xff000000) == 0x01000000) {
        const char32_t code = sym & 0x00ffffff;
        if (QChar::isPrint(code) && !QChar::isSpace(code)) {
            return code;
        }
    }
    return std::nullopt;
}

} // namespace

X11HotkeyBackend::X11HotkeyBackend(const char* displayName, QObject* parent) : HotkeyBackend(parent)
{
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(displayName, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    m_connection = c;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i) {
        xcb_screen_next(&screens);
    }
    m_root = screens.data->root;
    m_symbols = xcb_key_symbols_alloc(c);

    for (quint32 keycode = 0; keycode < m_virtualCodes.size(); ++keycode) {
        const auto code = keycode >= KeyCodeMap::evdevOffset
                              ? KeyCodeMap::virtualKeyCode(keycode - KeyCodeMap::evdevOffset)
                              : std::nullopt;
        m_virtualCodes[keycode] = code.value_or(noVirtualCode);
    }

    // Raw events reach every client whatever grabs are active from XInput 2.1.
    const xcb_query_extension_reply_t* xi = xcb_get_extension_data(c, &xcb_input_id);
    if (xi && xi->present) {
        m_xiOpcode = xi->major_opcode;
        const Reply<xcb_input_xi_query_version_reply_t> version(
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
        m_hasRawEvents = version && (version->major_version > 2 ||
                                     (version->major_version == 2 && version->minor_version >= 1));
    }

    static const char atomName[] = "_NET_ACTIVE_WINDOW";
    const Reply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof atomName - 1, atomName), nullptr));
    m_activeWindowAtom = atom ? atom->atom : quint32(XCB_ATOM_NONE);
    const quint32 rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, m_root, XCB_CW_EVENT_MASK, &rootEvents);

    loadModifierMap();
    m_notifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11HotkeyBackend::readEvents);
    xcb_flush(c);
}

X11HotkeyBackend::~X11HotkeyBackend()
{
    m_notifier.reset();
    if (m_symbols) {
        xcb_key_symbols_free(m_symbols);
    }
    if (m_connection) {
        xcb_disconnect(m_connection); // releases the grabs and the selection
    }
}

Expected<void, HotkeyError> X11HotkeyBackend::grabChord(const KeyPress& chord)
{
    ungrabChord();
    if (!m_connection || chord.keyCode > 127) {
        return unexpected(HotkeyError::unsupported);
    }
    const std::optional<quint32> evdev = KeyCodeMap::evdevCode(chord.keyCode);
    if (!evdev || *evdev + KeyCodeMap::evdevOffset > 255) {
        return unexpected(HotkeyError::unsupported);
    }
    Grab grab;
    grab.chord = chord;
    grab.keycode = quint8(*evdev + KeyCodeMap::evdevOffset);
    grab.modifiers = quint16(KeyCodeMap::xkbStateFromModifiers(chord.modifiers));
    grab.variants = lockVariants(grab.modifiers);

    QList<xcb_void_cookie_t> cookies;
    for (quint16 variant : grab.variants) {
        cookies.append(xcb_grab_key_checked(m_connection, 1, m_root, variant, grab.keycode,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    std::optional<HotkeyError> error;
    for (xcb_void_cookie_t cookie : cookies) {
        if (const Reply<xcb_generic_error_t> failed{xcb_request_check(m_connection, cookie)}) {
            // BadAccess: another client grabbed this combination first.
            error = failed->error_code == XCB_ACCESS ? HotkeyError::taken
                                                     : error.value_or(HotkeyError::unsupported);
        }
    }
    m_grab = grab;
    readEventsLater();
    if (error) {
        ungrabChord(); // the variants that were granted
        return unexpected(*error);
    }
    return {};
}

void X11HotkeyBackend::ungrabChord()
{
    if (!m_grab || !m_connection) {
        m_grab.reset();
        return;
    }
    for (quint16 variant : m_grab->variants) {
        xcb_ungrab_key(m_connection, m_grab->keycode, m_root, variant);
    }
    m_grab.reset();
    xcb_flush(m_connection);
}

Expected<void, HotkeyError> X11HotkeyBackend::startObserving()
{
    if (!m_connection || !m_hasRawEvents) {
        return unexpected(HotkeyError::unsupported);
    }
    struct
    {
        xcb_input_event_mask_t head;
        quint32 bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
    const Reply<xcb_generic_error_t> failed{xcb_request_check(
        m_connection, xcb_input_xi_select_events_checked(m_connection, m_root, 1, &mask.head))};
    if (failed) {
        return unexpected(HotkeyError::unsupported);
    }
    // Modifiers already held count from the start.
    const Reply<xcb_query_keymap_reply_t> keymap(
        xcb_query_keymap_reply(m_connection, xcb_query_keymap(m_connection), nullptr));
    m_down.reset();
    for (size_t keycode = 0; keymap && keycode < m_down.size(); ++keycode) {
        m_down[keycode] = (keymap->keys[keycode / 8] >> (keycode % 8)) & 1;
    }
    m_observing = true;
    readEventsLater();
    return {};
}

void X11HotkeyBackend::stopObserving()
{
    if (!m_observing || !m_connection) {
        return;
    }
    m_observing = false;
    struct
    {
        xcb_input_event_mask_t head;
        quint32 bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, 0};
    xcb_input_xi_select_events(m_connection, m_root, 1, &mask.head);
    xcb_flush(m_connection);
}

std::optional<QString> X11HotkeyBackend::keyName(quint32 keyCode) const
{
    const std::optional<quint32> evdev = KeyCodeMap::evdevCode(keyCode);
    if (!m_symbols || !evdev || *evdev + KeyCodeMap::evdevOffset > 255) {
        return std::nullopt;
    }
    // What the first layout group prints on the key, unshifted.
    const xcb_keysym_t sym =
        xcb_key_symbols_get_keysym(m_symbols, xcb_keycode_t(*evdev + KeyCodeMap::evdevOffset), 0);
    const std::optional<char32_t> character = keysymCharacter(sym);
    if (!character) {
        return std::nullopt; // Return, F5, Super, a dead key: the built-in name
    }
    const char32_t upper = QChar::toUpper(*character);
    return QString::fromUcs4(&upper, 1);
}

void X11HotkeyBackend::readEventsLater()
{
    if (m_connection) {
        xcb_flush(m_connection);
    }
    // A request that waited for its reply may have read events into the
    // library's queue, where the socket notifier does not see them.
    QMetaObject::invokeMethod(this, &X11HotkeyBackend::readEvents, Qt::QueuedConnection);
}

void X11HotkeyBackend::readEvents()
{
    if (!m_connection) {
        return;
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        handleEvent(event);
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection) && m_notifier->isEnabled()) {
        m_notifier->setEnabled(false);
        const bool watching = m_grab || m_observing;
        m_grab.reset();
        m_observing = false;
        if (watching) {
            emit refused(HotkeyError::unsupported);
        }
    }
}

void X11HotkeyBackend::handleEvent(const void* data)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(data);
    switch (event->response_type & 0x7f) {
    case XCB_GE_GENERIC: {
        const auto* ge = static_cast<const xcb_ge_generic_event_t*>(data);
        if (m_observing && ge->extension == m_xiOpcode &&
            (ge->event_type == XCB_INPUT_RAW_KEY_PRESS ||
             ge->event_type == XCB_INPUT_RAW_KEY_RELEASE)) {
            const auto* raw = static_cast<const xcb_input_raw_key_press_event_t*>(data);
            handleRawKey(raw->detail, ge->event_type == XCB_INPUT_RAW_KEY_PRESS, raw->time);
        }
        break;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: {
        const auto* key = static_cast<const xcb_key_press_event_t*>(data);
        handleGrabbedKey(key->detail, key->state, key->time,
                         (event->response_type & 0x7f) == XCB_KEY_PRESS);
        break;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto* property = static_cast<const xcb_property_notify_event_t*>(data);
        if (property->window == m_root && property->atom == m_activeWindowAtom &&
            m_activeWindowAtom != XCB_ATOM_NONE) {
            emit applicationActivated();
        }
        break;
    }
    case XCB_MAPPING_NOTIFY: {
        auto* mapping = static_cast<xcb_mapping_notify_event_t*>(const_cast<void*>(data));
        xcb_refresh_keyboard_mapping(m_symbols, mapping);
        const quint16 numLockBefore = m_numLockMask;
        loadModifierMap();
        // Num Lock moved to another modifier bit: grab its new variants.
        if (m_grab && m_numLockMask != numLockBefore) {
            const KeyPress chord = m_grab->chord;
            if (const auto grabbed = grabChord(chord); !grabbed) {
                emit refused(grabbed.error());
            }
        }
        break;
    }
    default:
        break;
    }
}

void X11HotkeyBackend::handleGrabbedKey(quint8 keycode, quint16 state, quint32 time, bool press)
{
    if (!m_grab || keycode != m_grab->keycode) {
        return;
    }
    if (!press) {
        m_lastReleaseTime = time;
        return;
    }
    if (time == m_lastReleaseTime || (state & chordModifierMask) != m_grab->modifiers) {
        return; // a key repeat, or a lock variant of another chord
    }
    emit chordPressed();
}

void X11HotkeyBackend::handleRawKey(quint32 keycode, bool press, quint32 time)
{
    if (keycode >= m_down.size()) {
        return;
    }
    m_down[keycode] = press;
    const quint32 code = m_virtualCodes[keycode];
    const bool changesModifiers =
        m_inModifierMap[keycode] || KeyCodeMap::modifierOfKey(code) || KeyCodeMap::isLockKey(code);
    if (changesModifiers) {
        emit keyEvent(EventType::flagsChanged, code, heldModifiers(), seconds(time));
    } else if (press) {
        emit keyEvent(EventType::keyDown, code, heldModifiers(), seconds(time));
    }
}

quint32 X11HotkeyBackend::heldModifiers() const
{
    quint32 held = 0;
    for (quint8 keycode : m_modifierKeycodes) {
        if (m_down[keycode]) {
            held |= m_modifierBits[keycode];
        }
    }
    return held;
}

double X11HotkeyBackend::seconds(quint32 serverTime)
{
    if (serverTime < m_lastTime && m_lastTime - serverTime > 0x80000000u) {
        m_timeEpoch += qint64(1) << 32;
    }
    m_lastTime = serverTime;
    return double(m_timeEpoch + serverTime) / 1000.0;
}

void X11HotkeyBackend::loadModifierMap()
{
    m_modifierBits.fill(0);
    m_inModifierMap.reset();
    m_modifierKeycodes.clear();
    m_numLockMask = 0;
    const Reply<xcb_get_modifier_mapping_reply_t> map(xcb_get_modifier_mapping_reply(
        m_connection, xcb_get_modifier_mapping(m_connection), nullptr));
    if (!map) {
        return;
    }
    const Reply<xcb_keycode_t> numLockKeys(xcb_key_symbols_get_keycode(m_symbols, numLockKeysym));
    const auto isNumLock = [&](xcb_keycode_t keycode) {
        for (const xcb_keycode_t* k = numLockKeys.get(); k && *k != XCB_NO_SYMBOL; ++k) {
            if (*k == keycode) {
                return true;
            }
        }
        return false;
    };
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(map.get());
    const int perRow = map->keycodes_per_modifier;
    for (int row = 0; row < 8; ++row) {
        for (int i = 0; i < perRow; ++i) {
            const xcb_keycode_t keycode = keycodes[row * perRow + i];
            if (keycode == 0) {
                continue;
            }
            m_inModifierMap.set(keycode);
            if (rowModifiers[row] && !m_modifierBits[keycode]) {
                m_modifierKeycodes.append(keycode);
            }
            m_modifierBits[keycode] |= rowModifiers[row];
            if (isNumLock(keycode)) {
                m_numLockMask |= quint16(1u << row);
            }
        }
    }
}

QList<quint16> X11HotkeyBackend::lockVariants(quint16 modifiers) const
{
    // Every combination of the states that must not matter; Num Lock's bit
    // is wherever the modifier map puts it.
    QList<quint16> ignored;
    for (quint16 bit : {quint16(XCB_MOD_MASK_LOCK), m_numLockMask, quint16(XCB_MOD_MASK_5)}) {
        if (bit && !(bit & modifiers) && !ignored.contains(bit)) {
            ignored.append(bit);
        }
    }
    QList<quint16> variants;
    for (int subset = 0; subset < (1 << ignored.size()); ++subset) {
        quint16 variant = modifiers;
        for (int i = 0; i < ignored.size(); ++i) {
            if (subset & (1 << i)) {
                variant |= ignored.at(i);
            }
        }
        variants.append(variant);
    }
    return variants;
}
