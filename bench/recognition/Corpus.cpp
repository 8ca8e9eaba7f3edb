#include "Corpus.h"

#include "capture/ReadingOrder.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace {

struct Theme
{
    QColor background;
    QColor text;
    QColor dim;
    QColor accent;       // selection background
    QColor accentText;   // text on the selection
    int deviceScale = 1; // device pixels per logical pixel (2 on a HiDPI screen)
};

const Theme kLight{QColor(0xff, 0xff, 0xff), QColor(0x1f, 0x1f, 0x1f), QColor(0x5f, 0x63, 0x68),
                   QColor(0x35, 0x84, 0xe4), Qt::white};
const Theme kGrey{QColor(0xf0, 0xf0, 0xf0), QColor(0x24, 0x24, 0x24), QColor(0x55, 0x55, 0x55),
                  QColor(0xd0, 0xe4, 0xff), QColor(0x10, 0x10, 0x10)};
const Theme kDark{QColor(0x1e, 0x1e, 0x1e), QColor(0xd4, 0xd4, 0xd4), QColor(0x9a, 0x9a, 0x9a),
                  QColor(0x26, 0x4f, 0x78), Qt::white};
const Theme kDarkBlue{QColor(0x24, 0x29, 0x33), QColor(0xe6, 0xe6, 0xe6), QColor(0xa0, 0xa8, 0xb8),
                      QColor(0x3b, 0x42, 0x52), QColor(0xff, 0xff, 0xff)};

// Draws text fragments and remembers where each one went.
class Canvas
{
public:
    // deviceScale 2 renders as a HiDPI screen does: the same layout in logical
    // pixels, every stroke twice as many device pixels wide.
    Canvas(int width, int height, const Theme& theme)
        : m_image(width * theme.deviceScale, height * theme.deviceScale, QImage::Format_RGB32),
          m_theme(theme), m_width(width), m_height(height)
    {
        m_image.setDevicePixelRatio(theme.deviceScale);
        m_image.fill(theme.background);
        m_painter.begin(&m_image);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
    }

    void font(const QString& family, int pixelSize, bool bold = false)
    {
        QFont f(family);
        f.setPixelSize(pixelSize);
        f.setBold(bold);
        f.setHintingPreference(QFont::PreferFullHinting);
        m_painter.setFont(f);
    }

    // Text with its top-left corner at (x, y); returns the fragment's width.
    int text(int x, int y, const QString& s, const QColor& color = QColor())
    {
        m_painter.setPen(color.isValid() ? color : m_theme.text);
        const QFontMetrics fm = m_painter.fontMetrics();
        m_painter.drawText(x, y + fm.ascent(), s);
        const int w = fm.horizontalAdvance(s);
        const double W = m_width;
        const double H = m_height;
        m_fragments.append(TextObservation{
            NormalizedRect{x / W, 1.0 - (y + fm.height()) / H, w / W, fm.height() / H}, {s}});
        return w;
    }

    // Text right-aligned at x.
    void rightText(int x, int y, const QString& s, const QColor& color = QColor())
    {
        text(x - m_painter.fontMetrics().horizontalAdvance(s), y, s, color);
    }

    // Lines of one block, one fragment each.
    int lines(int x, int y, const QStringList& list, int lineHeight, const QColor& color = QColor())
    {
        for (const QString& line : list) {
            text(x, y, line, color);
            y += lineHeight;
        }
        return y;
    }

    void fill(const QRect& rect, const QColor& color) { m_painter.fillRect(rect, color); }
    void roundedFill(const QRect& rect, const QColor& color, int radius = 4)
    {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(color);
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.drawRoundedRect(rect, radius, radius);
        m_painter.setRenderHint(QPainter::Antialiasing, false);
    }
    // A filled button or badge with its text centred; returns its width.
    int pill(int x, int y, int height, int padding, const QString& s, const QColor& fillColor,
             const QColor& textColor, int radius = 4)
    {
        const QFontMetrics fm = m_painter.fontMetrics();
        const int w = fm.horizontalAdvance(s) + 2 * padding;
        roundedFill(QRect(x, y, w, height), fillColor, radius);
        text(x + padding, y + (height - fm.height()) / 2, s, textColor);
        return w;
    }
    void frame(const QRect& rect, const QColor& color)
    {
        m_painter.setPen(color);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRoundedRect(rect, 4, 4);
    }
    const Theme& theme() const { return m_theme; }

    CorpusSample finish(const QString& name, const QString& category)
    {
        m_painter.end();
        m_image.setDevicePixelRatio(1);
        return CorpusSample{
            name, category, m_image,
            ReadingOrder::joinObservations(ReadingOrder::orderObservations(m_fragments))};
    }

private:
    QImage m_image;
    Theme m_theme;
    int m_width;
    int m_height;
    QPainter m_painter;
    QList<TextObservation> m_fragments;
};

const QString kSans = QStringLiteral("DejaVu Sans");
const QString kLiberation = QStringLiteral("Liberation Sans");
const QString kNoto = QStringLiteral("Noto Sans");
const QString kSerif = QStringLiteral("Liberation Serif");
const QString kMono = QStringLiteral("DejaVu Sans Mono");

QStringList split(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char('\n'));
}

// A dialog of 800x300: title, form labels with values, check boxes, buttons.
CorpusSample uiDialog(const Theme& theme, const QString& name, const QString& category)
{
    Canvas c(800, 300, theme);
    c.font(kNoto, 15, true);
    c.text(24, 16, QStringLiteral("Connection Settings"));
    c.font(kNoto, 13);
    const QStringList labels = split("Server address:\nPort:\nUser name:\nTimeout (seconds):");
    const QStringList values = split("mail.example.org\n993\nmartin.keller\n30");
    for (int i = 0; i < labels.size(); ++i) {
        const int y = 56 + i * 34;
        c.text(24, y + 6, labels[i], theme.dim);
        c.frame(QRect(220, y, 300, 28), theme.dim);
        c.text(230, y + 6, values[i]);
    }
    c.text(560, 62, QStringLiteral("Use secure connection (TLS)"));
    c.text(560, 96, QStringLiteral("Remember password"));
    c.text(560, 130, QStringLiteral("Check for new mail"));
    c.text(24, 206, QStringLiteral("Changes take effect after the account is reconnected."),
           theme.dim);
    c.fill(QRect(560, 244, 100, 32), theme.accent);
    c.text(588, 252, QStringLiteral("Save"), theme.accentText);
    c.frame(QRect(676, 244, 100, 32), theme.dim);
    c.text(700, 252, QStringLiteral("Cancel"));
    return c.finish(name, category);
}

CorpusSample menu(const Theme& theme, const QString& family, int px, const QStringList& items,
                  int selected, const QString& name, const QString& category)
{
    const int row = px * 2;
    Canvas c(320, row * int(items.size()) + 16, theme);
    c.font(family, px);
    for (int i = 0; i < items.size(); ++i) {
        const int y = 8 + i * row;
        const bool sel = i == selected;
        if (sel) {
            c.fill(QRect(4, y, 312, row), theme.accent);
        }
        const QStringList parts = items[i].split(QLatin1Char('\t'));
        c.text(20, y + (row - px) / 2 - 1, parts[0], sel ? theme.accentText : theme.text);
        if (parts.size() > 1) {
            c.rightText(300, y + (row - px) / 2 - 1, parts[1], sel ? theme.accentText : theme.dim);
        }
    }
    return c.finish(name, category);
}

CorpusSample paragraph(const Theme& theme, const QString& family, int px, const QStringList& text,
                       int width, const QString& name, const QString& category)
{
    const int lineHeight = int(px * 1.45);
    Canvas c(width, lineHeight * int(text.size()) + 2 * px, theme);
    c.font(family, px);
    c.lines(px, px, text, lineHeight);
    return c.finish(name, category);
}

CorpusSample twoColumns(const Theme& theme, const QString& family, int px, const QStringList& left,
                        const QStringList& right, int columnWidth, const QString& name)
{
    const int lineHeight = int(px * 1.5);
    const int rows = int(std::max(left.size(), right.size()));
    Canvas c(2 * columnWidth + 3 * px * 2, lineHeight * rows + 2 * px + px * 2, theme);
    c.font(family, px, true);
    c.text(2 * px, px, QStringLiteral("Release notes"));
    c.font(family, px);
    c.lines(2 * px, px + 2 * px, left, lineHeight);
    c.lines(4 * px + columnWidth, px + 2 * px, right, lineHeight);
    return c.finish(name, QStringLiteral("columns"));
}

CorpusSample priceList(const Theme& theme, const QString& family, int px, const QStringList& rows,
                       const QString& title, const QString& name)
{
    const int lineHeight = int(px * 1.8);
    Canvas c(520, lineHeight * int(rows.size()) + 4 * px, theme);
    c.font(family, px + 3, true);
    c.text(px, px / 2, title);
    c.font(family, px);
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList parts = rows[i].split(QLatin1Char('\t'));
        const int y = 3 * px + i * lineHeight;
        c.text(px, y, parts[0]);
        c.rightText(500, y, parts[1]);
    }
    return c.finish(name, QStringLiteral("prices"));
}

CorpusSample terminal(const Theme& theme, int px, const QStringList& lines, const QString& name)
{
    const int lineHeight = int(px * 1.35);
    Canvas c(720, lineHeight * int(lines.size()) + 2 * px, theme);
    c.font(kMono, px);
    c.lines(px, px, lines, lineHeight);
    return c.finish(name, QStringLiteral("dark"));
}

// A heading as a user drags it out: one line of large text with a margin of
// about half its size.
struct Heading
{
    const char* name;
    const char* family;
    int px;
    bool bold;
    const Theme* theme;
    const char* text;
};

CorpusSample heading(const Heading& h)
{
    QFont f(QString::fromLatin1(h.family));
    f.setPixelSize(h.px);
    f.setBold(h.bold);
    const QFontMetrics fm(f);
    const QString text = QString::fromUtf8(h.text);
    const int margin = h.px / 2 + 6;
    Canvas c(fm.horizontalAdvance(text) + 2 * margin, fm.height() + 2 * margin, *h.theme);
    c.font(QString::fromLatin1(h.family), h.px, h.bold);
    c.text(margin, margin, text);
    return c.finish(QString::fromLatin1(h.name), QStringLiteral("headings"));
}

// A large heading above body text, as on a slide, an article or a settings page.
CorpusSample headed(const Theme& theme, int width, const QString& family, int headingPx, bool bold,
                    const char* title, const QString& bodyFamily, int bodyPx, const char* body,
                    const QString& name)
{
    const QStringList lines = split(body);
    const int headingHeight = QFontMetrics([&] {
                                  QFont f(family);
                                  f.setPixelSize(headingPx);
                                  return f;
                              }())
                                  .height();
    const int lineHeight = int(bodyPx * 1.5);
    const int top = bodyPx + headingHeight + bodyPx;
    Canvas c(width, top + lineHeight * int(lines.size()) + bodyPx, theme);
    c.font(family, headingPx, bold);
    c.text(bodyPx + 4, bodyPx, QString::fromUtf8(title));
    c.font(bodyFamily, bodyPx);
    c.lines(bodyPx + 4, top, lines, lineHeight);
    return c.finish(name, QStringLiteral("mixed"));
}

// The screens of the first categories (interface, paragraphs, columns, prices,
// dark themes, small text, fills, accents, Cyrillic) at one device scale.
QList<CorpusSample> screenSamples(int deviceScale)
{
    const auto at = [deviceScale](Theme theme) {
        theme.deviceScale = deviceScale;
        return theme;
    };
    const Theme light = at(kLight);
    const Theme grey = at(kGrey);
    const Theme dark = at(kDark);
    const Theme darkBlue = at(kDarkBlue);
    QList<CorpusSample> corpus;
    const QString ui = QStringLiteral("ui");

    // Interface text.
    corpus << uiDialog(light, QStringLiteral("ui-dialog-800x300"), ui);
    corpus << uiDialog(grey, QStringLiteral("ui-dialog-grey"), ui);
    corpus << menu(
        light, kSans, 13,
        split("New Window\tCtrl+N\nOpen File...\tCtrl+O\nOpen Recent\nSave\tCtrl+S\n"
              "Save As...\tShift+Ctrl+S\nPrint...\tCtrl+P\nClose Window\tCtrl+W\nQuit\tCtrl+Q"),
        3, QStringLiteral("ui-file-menu"), ui);
    corpus << menu(grey, kLiberation, 14,
                   split("Cut\nCopy\nPaste\nSelect All\nFind and Replace\nPreferences"), 1,
                   QStringLiteral("ui-edit-menu"), ui);
    {
        Canvas c(900, 40, grey);
        c.font(kNoto, 14);
        int x = 12;
        for (const QString& item :
             split("File\nEdit\nView\nHistory\nBookmarks\nProfiles\nTools\nWindow\nHelp")) {
            x += c.text(x, 11, item) + 22;
        }
        corpus << c.finish(QStringLiteral("ui-menubar"), ui);
    }
    {
        Canvas c(640, 180, light);
        c.font(kSans, 16, true);
        c.text(20, 16, QStringLiteral("Update available"));
        c.font(kSans, 13);
        c.lines(20, 50,
                split("Version 4.2.1 is ready to install. The update fixes a crash when\n"
                      "opening large folders and improves battery life on laptops."),
                20);
        c.fill(QRect(400, 128, 100, 30), light.accent);
        c.text(420, 135, QStringLiteral("Install"), Qt::white);
        c.text(540, 135, QStringLiteral("Later"));
        corpus << c.finish(QStringLiteral("ui-notification"), ui);
    }

    // Paragraphs at several sizes and fonts.
    const QStringList prose =
        split("Screen text recognition turns any visible words into text you can\n"
              "paste elsewhere. Select a region, wait a moment, and the result is\n"
              "copied to the clipboard. The history keeps the last captures so\n"
              "that nothing is lost when you copy something else in between.");
    corpus << paragraph(light, kSans, 14, prose, 640, QStringLiteral("para-dejavu-14"),
                        QStringLiteral("paragraph"));
    corpus << paragraph(light, kLiberation, 16, prose, 640, QStringLiteral("para-liberation-16"),
                        QStringLiteral("paragraph"));
    corpus << paragraph(grey, kNoto, 18, prose, 700, QStringLiteral("para-noto-18"),
                        QStringLiteral("paragraph"));
    corpus << paragraph(light, kSerif, 24,
                        split("The quick brown fox jumps over the lazy dog.\n"
                              "Pack my box with five dozen liquor jugs.\n"
                              "How vexingly quick daft zebras jump!"),
                        760, QStringLiteral("para-serif-24"), QStringLiteral("paragraph"));
    corpus << paragraph(light, kNoto, 15,
                        split("Meeting notes, 14 March 2024\n"
                              "1. Budget for Q2 approved at 48,500 EUR (+12%).\n"
                              "2. Contact: support@example.com or +44 20 7946 0958.\n"
                              "3. Next review on 2024-04-02 at 10:30 in room B-204."),
                        640, QStringLiteral("para-numbers-15"), QStringLiteral("paragraph"));

    // Two columns.
    corpus << twoColumns(
        light, kSans, 13,
        split("Faster start-up on older machines.\nLower memory use while idle.\n"
              "Captures keep their original size.\nNew shortcut for repeated capture.\n"
              "History search ignores accents.\nFixed a crash on empty selections."),
        split("Dark theme follows the system.\nToasts no longer steal focus.\n"
              "Improved reading of small text.\nTables are copied as markdown.\n"
              "Translations were updated.\nThe tray icon has a new shape."),
        300, QStringLiteral("columns-dejavu-13"));
    corpus << twoColumns(
        grey, kLiberation, 15,
        split("Monday: planning session\nTuesday: design review\nWednesday: customer calls\n"
              "Thursday: release testing\nFriday: retrospective"),
        split("Owner: Alice Johnson\nOwner: Robert Chen\nOwner: Maria Garcia\n"
              "Owner: David Miller\nOwner: Sarah Wilson"),
        280, QStringLiteral("columns-liberation-15"));
    corpus << twoColumns(
        dark, kNoto, 14,
        split("Open the settings window.\nChoose the shortcut field.\nPress the new keys.\n"
              "Confirm with Enter.\nTry the shortcut once."),
        split("Keys already in use are refused.\nModifiers alone are not allowed.\n"
              "Escape cancels the recording.\nThe old shortcut stays active.\n"
              "Changes apply at once."),
        300, QStringLiteral("columns-dark-14"));
    {
        // A sidebar and an article whose rows do not line up.
        Canvas c(760, 230, light);
        c.font(kNoto, 13);
        c.lines(16, 16, split("Inbox\nDrafts\nSent\nArchive\nSpam\nTrash\nOutbox"), 29);
        c.font(kSerif, 17);
        c.lines(180, 20,
                split("Thank you for your order. Your parcel left our warehouse\n"
                      "this morning and should arrive within three working days.\n"
                      "You can follow it with the tracking number below, or reply\n"
                      "to this message if anything is missing when it arrives.\n"
                      "Tracking number: 7340 2291 8845 1032"),
                38);
        corpus << c.finish(QStringLiteral("columns-unaligned"), QStringLiteral("columns"));
    }

    // Price lists.
    corpus << priceList(light, kSans, 14,
                        split("Espresso\t$2.50\nCappuccino\t$3.80\nCaffe Latte\t$4.20\n"
                              "Hot Chocolate\t$3.50\nBlueberry Muffin\t$2.95\nCroissant\t$2.40"),
                        QStringLiteral("Coffee Bar Menu"), QStringLiteral("prices-coffee"));
    corpus << priceList(grey, kLiberation, 15,
                        split("Basic plan\t$9\nStandard plan\t$19\nPremium plan\t$49\n"
                              "Extra storage (100 GB)\t$4.99\nPriority support\t$15"),
                        QStringLiteral("Pricing"), QStringLiteral("prices-plans"));
    corpus << priceList(dark, kNoto, 13,
                        split("USB-C cable 2 m\t$12.99\nWireless mouse\t$24.50\n"
                              "Mechanical keyboard\t$89.00\nMonitor stand\t$39.95\n"
                              "Laptop sleeve 14 in\t$19.99\nWebcam HD\t$54.00"),
                        QStringLiteral("Order Summary"), QStringLiteral("prices-dark"));

    // Dark themes.
    corpus << uiDialog(dark, QStringLiteral("dark-dialog"), QStringLiteral("dark"));
    corpus << menu(darkBlue, kNoto, 14,
                   split("Go to Definition\tF12\nFind All References\tShift+F12\n"
                         "Rename Symbol\tF2\nFormat Document\nCommand Palette\tCtrl+Shift+P"),
                   2, QStringLiteral("dark-context-menu"), QStringLiteral("dark"));
    corpus << paragraph(dark, kSans, 15, prose, 660, QStringLiteral("dark-para-15"),
                        QStringLiteral("dark"));
    corpus << terminal(dark, 14,
                       split("$ git status\nOn branch main\nChanges not staged for commit:\n"
                             "  modified:   src/main.cpp\n  modified:   README.md\n"
                             "no changes added to commit"),
                       QStringLiteral("dark-terminal"));

    // Small text.
    corpus << paragraph(light, kSans, 11, prose, 520, QStringLiteral("small-dejavu-11"),
                        QStringLiteral("small"));
    corpus << paragraph(light, kLiberation, 12, prose, 520, QStringLiteral("small-liberation-12"),
                        QStringLiteral("small"));
    corpus << menu(grey, kNoto, 11,
                   split("Show hidden files\nSort by name\nSort by date\nGroup by type\nRefresh"),
                   -1, QStringLiteral("small-menu-11"), QStringLiteral("small"));
    {
        Canvas c(700, 26, grey);
        c.font(kSans, 11);
        c.text(8, 6, QStringLiteral("Ready"), grey.dim);
        c.text(300, 6, QStringLiteral("Line 42, Column 17"), grey.dim);
        c.text(560, 6, QStringLiteral("UTF-8"), grey.dim);
        corpus << c.finish(QStringLiteral("small-statusbar-11"), QStringLiteral("small"));
    }

    // Text on coloured fills: selected rows, filled buttons, banners, badges.
    const QString fills = QStringLiteral("fills");
    corpus << menu(grey, kSans, 13,
                   split("Undo\tCtrl+Z\nRedo\tShift+Ctrl+Z\nCut\tCtrl+X\nCopy\tCtrl+C\n"
                         "Paste\tCtrl+V\nDelete\nSelect All\tCtrl+A"),
                   3, QStringLiteral("fills-menu-lightblue"), fills);
    {
        // A file list with a system-blue selected row and an inactive grey one.
        Canvas c(560, 200, light);
        c.font(kNoto, 13, true);
        c.text(16, 10, QStringLiteral("Name"), light.dim);
        c.text(330, 10, QStringLiteral("Size"), light.dim);
        c.text(430, 10, QStringLiteral("Modified"), light.dim);
        c.font(kNoto, 13);
        const QStringList rows = split("Annual report.pdf\t2.4 MB\tToday\n"
                                       "Budget 2024.xlsx\t88 KB\tYesterday\n"
                                       "Holiday photos\t--\tMonday\n"
                                       "Meeting notes.txt\t4 KB\t12 March\n"
                                       "Project plan.odt\t310 KB\t3 March");
        for (int i = 0; i < rows.size(); ++i) {
            const int y = 36 + i * 30;
            const QStringList parts = rows[i].split(QLatin1Char('\t'));
            QColor color = light.text;
            if (i == 1) {
                c.fill(QRect(6, y, 548, 30), QColor(0x35, 0x84, 0xe4));
                color = Qt::white;
            } else if (i == 3) {
                c.fill(QRect(6, y, 548, 30), QColor(0xde, 0xde, 0xde));
            }
            c.text(16, y + 7, parts[0], color);
            c.text(330, y + 7, parts[1], color);
            c.text(430, y + 7, parts[2], color);
        }
        corpus << c.finish(QStringLiteral("fills-list-systemblue"), fills);
    }
    {
        // Dialog footers: filled primary buttons next to plain labels and outlined buttons.
        Canvas c(640, 190, light);
        c.font(kLiberation, 14, true);
        c.text(20, 14, QStringLiteral("Software Update"));
        c.font(kLiberation, 13);
        c.text(20, 42, QStringLiteral("A new version is ready. Restart to finish installing."),
               light.dim);
        c.pill(360, 74, 30, 18, QStringLiteral("Install Now"), QColor(0x1a, 0x73, 0xe8), Qt::white);
        c.text(500, 81, QStringLiteral("Remind me later"));
        c.text(20, 81, QStringLiteral("Size: 84 MB"), light.dim);
        c.font(kLiberation, 13, true);
        c.pill(20, 130, 32, 16, QStringLiteral("Save changes"), QColor(0x2e, 0xa0, 0x43), Qt::white,
               6);
        c.pill(180, 130, 32, 16, QStringLiteral("Delete account"), QColor(0xd9, 0x30, 0x25),
               Qt::white, 6);
        c.font(kLiberation, 13);
        c.frame(QRect(360, 130, 90, 32), light.dim);
        c.text(383, 138, QStringLiteral("Cancel"));
        c.text(480, 138, QStringLiteral("Learn more"), QColor(0x1a, 0x73, 0xe8));
        corpus << c.finish(QStringLiteral("fills-buttons"), fills);
    }
    {
        // Warning and error banners above ordinary text.
        Canvas c(680, 200, light);
        c.fill(QRect(0, 0, 680, 36), QColor(0xff, 0xe0, 0x82));
        c.font(kNoto, 13);
        c.text(14, 9, QStringLiteral("Your trial ends in 3 days. Upgrade to keep your files."),
               QColor(0x3d, 0x2e, 0x00));
        c.fill(QRect(0, 44, 680, 36), QColor(0xf5, 0x9e, 0x0b));
        c.text(14, 53, QStringLiteral("Warning: the disk is almost full (92% used)."),
               QColor(0x1f, 0x1f, 0x1f));
        c.fill(QRect(0, 88, 680, 36), QColor(0xfd, 0xe8, 0xe8));
        c.text(14, 97, QStringLiteral("Sync failed. Check your connection and try again."),
               QColor(0x9b, 0x1c, 0x1c));
        c.font(kNoto, 14);
        c.lines(14, 140,
                split("Files are kept for thirty days after deletion.\n"
                      "Shared folders count against the owner's storage."),
                24);
        corpus << c.finish(QStringLiteral("fills-banners"), fills);
    }
    {
        // An issue list with coloured labels and counters.
        Canvas c(600, 170, light);
        const QStringList titles = split("Crash when opening large folders\n"
                                         "Add keyboard shortcut for history\n"
                                         "Tray icon is blurry on HiDPI screens\n"
                                         "Translate settings window into Polish");
        struct Badge
        {
            const char* text;
            QColor fill;
            QColor ink;
        };
        const QList<Badge> badges = {
            {"bug", QColor(0xd7, 0x3a, 0x4a), Qt::white},
            {"feature", QColor(0x0e, 0x8a, 0x16), Qt::white},
            {"design", QColor(0x82, 0x50, 0xdf), Qt::white},
            {"help wanted", QColor(0xfb, 0xca, 0x04), QColor(0x24, 0x24, 0x24)},
        };
        for (int i = 0; i < titles.size(); ++i) {
            const int y = 14 + i * 38;
            c.font(kSans, 13);
            const int w = c.text(16, y + 4, titles[i]);
            c.font(kSans, 11, true);
            c.pill(16 + w + 12, y + 2, 20, 8, QString::fromLatin1(badges[i].text), badges[i].fill,
                   badges[i].ink, 10);
            c.pill(560, y + 2, 20, 7, QString::number(3 + 7 * i), QColor(0x6e, 0x77, 0x81),
                   Qt::white, 10);
        }
        corpus << c.finish(QStringLiteral("fills-badges"), fills);
    }
    {
        // Dark theme with coloured accents: a selected sidebar entry, a filled
        // button, a status chip.
        Canvas c(640, 220, dark);
        c.font(kNoto, 13);
        const QStringList sidebar = split("General\nAppearance\nShortcuts\nPrivacy\nAbout");
        for (int i = 0; i < sidebar.size(); ++i) {
            const int y = 14 + i * 32;
            if (i == 2) {
                c.roundedFill(QRect(8, y, 150, 30), QColor(0x3d, 0x7e, 0xff));
            }
            c.text(20, y + 7, sidebar[i], i == 2 ? QColor(Qt::white) : dark.text);
        }
        c.font(kNoto, 15, true);
        c.text(190, 16, QStringLiteral("Keyboard Shortcuts"));
        c.font(kNoto, 13);
        c.text(190, 52, QStringLiteral("Capture a region"), dark.text);
        c.pill(420, 48, 24, 8, QStringLiteral("Shift+Super+8"), QColor(0x3a, 0x3a, 0x3a),
               dark.text);
        c.text(190, 88, QStringLiteral("Scan a barcode"), dark.text);
        c.pill(420, 84, 24, 8, QStringLiteral("Enabled"), QColor(0x23, 0x86, 0x36), Qt::white, 12);
        c.pill(470, 164, 30, 16, QStringLiteral("Apply"), QColor(0x3d, 0x7e, 0xff), Qt::white);
        c.text(560, 171, QStringLiteral("Reset"), dark.dim);
        corpus << c.finish(QStringLiteral("fills-dark-accents"), fills);
    }
    {
        // A tab bar with a filled active tab and a toolbar with a coloured chip.
        Canvas c(720, 44, grey);
        c.font(kSans, 12);
        int x = 8;
        const QStringList tabs = split("Overview\nActivity\nMembers\nSettings\nBilling");
        for (int i = 0; i < tabs.size(); ++i) {
            const QColor fillColor = i == 1 ? QColor(0x6f, 0x42, 0xc1) : grey.background;
            x += c.pill(x, 8, 28, 12, tabs[i], fillColor, i == 1 ? QColor(Qt::white) : grey.text,
                        14) +
                 6;
        }
        c.pill(600, 10, 24, 10, QStringLiteral("Pro plan"), QColor(0xff, 0x8c, 0x00),
               QColor(0x1f, 0x1f, 0x1f), 12);
        corpus << c.finish(QStringLiteral("fills-tabs"), fills);
    }

    // Accented Latin.
    corpus << paragraph(light, kSans, 15,
                        split("Les élèves ont étudié la leçon près de la fenêtre.\n"
                              "Où est la bibliothèque ? Elle ferme à dix-huit heures.\n"
                              "Ça coûte très cher, mais c'est un cadeau extraordinaire."),
                        640, QStringLiteral("accents-french"), QStringLiteral("accents"));
    corpus << paragraph(light, kLiberation, 16,
                        split("Die Größe der Straße überrascht die Bürger.\n"
                              "Schöne Grüße aus München und Köln.\n"
                              "Über die Brücke fährt ein großer Lastwagen."),
                        600, QStringLiteral("accents-german"), QStringLiteral("accents"));
    corpus << paragraph(grey, kNoto, 15,
                        split("El niño pequeño comió una manzana en el jardín.\n"
                              "¿Dónde está la estación de autobús?\n"
                              "A canção do coração não tem tradução."),
                        600, QStringLiteral("accents-spanish-portuguese"),
                        QStringLiteral("accents"));
    corpus << paragraph(dark, kSans, 14,
                        split("Perché la città è così bella in primavera?\n"
                              "Più tardi andremo al caffè vicino all'università."),
                        600, QStringLiteral("accents-italian-dark"), QStringLiteral("accents"));

    corpus << menu(light, kLiberation, 14,
                   split("Configuración\tCtrl+,\nAñadir cuenta...\nBúsqueda avanzada\tCtrl+F\n"
                         "Impresión...\tCtrl+P\nMostrar títulos\nSalir\tCtrl+Q"),
                   1, QStringLiteral("accents-spanish-menu"), QStringLiteral("accents"));
    corpus << paragraph(light, kLiberation, 15,
                        split("As informações da sua conta foram atualizadas.\n"
                              "A sincronização será concluída em alguns minutos.\n"
                              "Você pode fechar esta janela com segurança."),
                        600, QStringLiteral("accents-portuguese"), QStringLiteral("accents"));
    corpus << paragraph(dark, kNoto, 14,
                        split("Échec de la connexion au serveur.\n"
                              "Vérifiez vos paramètres réseau et réessayez.\n"
                              "Les données non enregistrées seront conservées."),
                        560, QStringLiteral("accents-french-dark"), QStringLiteral("accents"));
    corpus << menu(grey, kSans, 13,
                   split("Öffnen...\tStrg+O\nSchließen\tStrg+W\nÄnderungen übernehmen\n"
                         "Einstellungen\nÜber dieses Programm"),
                   -1, QStringLiteral("accents-german-menu"), QStringLiteral("accents"));
    corpus << paragraph(light, kSerif, 17,
                        split("È necessario riavviare il computer.\n"
                              "Attività recenti: più di venti file modificati.\n"
                              "Perché non funziona? Però è già tardi."),
                        560, QStringLiteral("accents-italian-serif"), QStringLiteral("accents"));

    // Cyrillic.
    corpus << paragraph(light, kSans, 15,
                        split("Съешь же ещё этих мягких французских булок.\n"
                              "Москва является столицей Российской Федерации.\n"
                              "Сегодня хорошая погода для прогулки в парке."),
                        620, QStringLiteral("cyrillic-russian"), QStringLiteral("cyrillic"));
    corpus << paragraph(light, kNoto, 16,
                        split("Київ є столицею України.\n"
                              "Ґанок біля їхньої хати пофарбований у жовтий колір.\n"
                              "Щастя не купиш за гроші."),
                        620, QStringLiteral("cyrillic-ukrainian"), QStringLiteral("cyrillic"));
    corpus << menu(light, kSans, 13,
                   split("Создать\tCtrl+N\nОткрыть...\tCtrl+O\nСохранить\tCtrl+S\n"
                         "Сохранить как...\nПечать...\tCtrl+P\nВыход\tCtrl+Q"),
                   -1, QStringLiteral("cyrillic-menu"), QStringLiteral("cyrillic"));
    corpus << paragraph(dark, kLiberation, 14,
                        split("Настройки сохранены.\nПроверьте подключение к сети."), 480,
                        QStringLiteral("cyrillic-dark"), QStringLiteral("cyrillic"));
    return corpus;
}

} // namespace

QList<CorpusSample> buildCorpus()
{
    QList<CorpusSample> corpus = screenSamples(1);

    // The same screens on a HiDPI display (device scale 2), one or two per
    // category.
    const QStringList hidpi = {
        QStringLiteral("ui-dialog-800x300"), QStringLiteral("ui-file-menu"),
        QStringLiteral("para-dejavu-14"),    QStringLiteral("columns-dejavu-13"),
        QStringLiteral("prices-plans"),      QStringLiteral("dark-dialog"),
        QStringLiteral("dark-terminal"),     QStringLiteral("small-liberation-12"),
        QStringLiteral("fills-buttons"),     QStringLiteral("fills-dark-accents"),
        QStringLiteral("accents-french"),    QStringLiteral("cyrillic-menu")};
    for (CorpusSample& sample : screenSamples(2)) {
        if (hidpi.contains(sample.name)) {
            sample.name = QStringLiteral("hidpi-") + sample.name;
            sample.category = QStringLiteral("hidpi");
            corpus << sample;
        }
    }

    // Headings, bold and regular, 20 to 64 px, in several fonts and languages.
    const Theme black{Qt::white, Qt::black, Qt::darkGray, Qt::blue, Qt::white};
    const QList<Heading> headings = {
        {"heading-dejavu-bold-20", "DejaVu Sans", 20, true, &kLight, "Quarterly Report Summary"},
        {"heading-liberation-bold-26-dark", "Liberation Sans", 26, true, &kDark,
         "Account Settings and Privacy"},
        {"heading-dejavu-bold-32", "DejaVu Sans", 32, true, &black, "Quarterly Report Summary"},
        {"heading-noto-bold-32", "Noto Sans", 32, true, &kGrey, "Welcome back, Martina"},
        {"heading-dejavu-40", "DejaVu Sans", 40, false, &kLight, "Project Overview 2024"},
        {"heading-serif-bold-48", "Liberation Serif", 48, true, &kLight,
         "Chapter 3: The Long Winter"},
        {"heading-dejavu-54", "DejaVu Sans", 54, false, &black, "Quarterly Report Summary"},
        {"heading-noto-54-dark", "Noto Sans", 54, false, &kDark, "Getting Started"},
        {"heading-dejavu-bold-64-dark", "DejaVu Sans", 64, true, &kDarkBlue, "Release Notes"},
        {"heading-liberation-64", "Liberation Sans", 64, false, &kLight, "Sales Dashboard"},
        {"heading-noto-serif-bold-36-dark", "Noto Serif", 36, true, &kDark, "Paramètres du compte"},
        {"heading-dejavu-serif-44", "DejaVu Serif", 44, false, &kLight,
         "Einstellungen für Drucker"},
        {"heading-liberation-bold-30", "Liberation Sans", 30, true, &kLight,
         "Настройки безопасности"},
        {"heading-noto-bold-24", "Noto Sans", 24, true, &kGrey, "Configuración de la cuenta"},
        {"heading-noto-bold-58", "Noto Sans", 58, true, &kLight, "Invoice 2024-0193"},
    };
    for (const Heading& h : headings) {
        corpus << heading(h);
    }

    // A heading above body text.
    corpus << headed(kLight, 900, kLiberation, 44, true, "Roadmap for the Next Quarter",
                     kLiberation, 22,
                     "Ship the new onboarding flow in April\n"
                     "Cut the start-up time of the desktop client in half\n"
                     "Open the public beta to every team",
                     QStringLiteral("mixed-slide"));
    corpus << headed(kLight, 760, QStringLiteral("DejaVu Serif"), 34, true, "Why small tools win",
                     kSans, 15,
                     "A tool that does one thing well is easy to learn and hard to break.\n"
                     "It starts fast, stays out of the way and leaves the rest to you.\n"
                     "Most of the tools we keep for years share these three traits.",
                     QStringLiteral("mixed-article"));
    corpus << headed(kDark, 640, kNoto, 28, true, "Storage almost full", kNoto, 13,
                     "Only 1.2 GB of 64 GB is left on this device.\n"
                     "Remove old backups or move photos to an external drive.\n"
                     "Syncing is paused until space is available.",
                     QStringLiteral("mixed-dialog-dark"));
    corpus << headed(kGrey, 700, kNoto, 40, false, "Privacy & Security", kNoto, 14,
                     "Location services\nCamera access\nMicrophone access\n"
                     "Screen recording\nFull disk access",
                     QStringLiteral("mixed-settings"));
    corpus << headed(kLight, 720, kSans, 32, true, "Bienvenue à bord", kSans, 16,
                     "Votre compte est prêt. Vous pouvez inviter vos collègues\n"
                     "et créer votre premier projet dès maintenant.",
                     QStringLiteral("mixed-french"));

    // More text on coloured fills, in light and dark themes.
    const QString fills = QStringLiteral("fills");
    {
        // A dark file list with a selected row and a hovered one.
        Canvas c(560, 190, kDark);
        c.font(kSans, 13);
        const QStringList rows = split("Invoices 2023\t14 items\nScans\t3 items\n"
                                       "Tax return.pdf\t1.1 MB\nContracts\t27 items\n"
                                       "Passport copy.png\t640 KB");
        for (int i = 0; i < rows.size(); ++i) {
            const int y = 8 + i * 34;
            if (i == 2) {
                c.fill(QRect(4, y, 552, 34), QColor(0x15, 0x65, 0xc0));
            } else if (i == 4) {
                c.fill(QRect(4, y, 552, 34), QColor(0x33, 0x33, 0x33));
            }
            const QStringList parts = rows[i].split(QLatin1Char('\t'));
            c.text(18, y + 9, parts[0], i == 2 ? QColor(Qt::white) : kDark.text);
            c.rightText(540, y + 9, parts[1], i == 2 ? QColor(Qt::white) : kDark.dim);
        }
        corpus << c.finish(QStringLiteral("fills-dark-list"), fills);
    }
    {
        // Dark-theme banners: information, success and error.
        Canvas c(660, 140, kDarkBlue);
        c.font(kLiberation, 14);
        c.fill(QRect(0, 0, 660, 40), QColor(0x0b, 0x3d, 0x91));
        c.text(16, 11, QStringLiteral("A new version is available. Restart to update."),
               QColor(0xdb, 0xea, 0xfe));
        c.fill(QRect(0, 48, 660, 40), QColor(0x14, 0x53, 0x2d));
        c.text(16, 59, QStringLiteral("Backup completed at 09:41 without errors."),
               QColor(0xdc, 0xfc, 0xe7));
        c.fill(QRect(0, 96, 660, 40), QColor(0x7f, 0x1d, 0x1d));
        c.text(16, 107, QStringLiteral("Payment declined. Update your card details."),
               QColor(0xfe, 0xe2, 0xe2));
        corpus << c.finish(QStringLiteral("fills-dark-banners"), fills);
    }
    {
        // A toolbar of filled buttons with bold labels.
        Canvas c(700, 60, kLight);
        c.font(kNoto, 14, true);
        int x = 12;
        const QList<std::pair<QString, QColor>> buttons = {
            {QStringLiteral("New issue"), QColor(0x1f, 0x88, 0x3d)},
            {QStringLiteral("Assign"), QColor(0x09, 0x69, 0xda)},
            {QStringLiteral("Close"), QColor(0xcf, 0x22, 0x2e)},
            {QStringLiteral("Export CSV"), QColor(0x6e, 0x40, 0xc9)},
            {QStringLiteral("Archive"), QColor(0x57, 0x60, 0x6a)}};
        for (const auto& [label, color] : buttons) {
            x += c.pill(x, 12, 36, 16, label, color, Qt::white, 6) + 10;
        }
        corpus << c.finish(QStringLiteral("fills-toolbar-bold"), fills);
    }
    {
        // Status chips in a dark table.
        Canvas c(520, 170, kDark);
        struct Row
        {
            const char* name;
            const char* status;
            QColor fill;
            QColor ink;
        };
        const QList<Row> rows = {
            {"web-frontend", "Running", QColor(0x23, 0x86, 0x36), Qt::white},
            {"billing-worker", "Stopped", QColor(0xda, 0x36, 0x33), Qt::white},
            {"search-indexer", "Pending", QColor(0xd2, 0x99, 0x22), QColor(0x1e, 0x1e, 0x1e)},
            {"mail-relay", "Degraded", QColor(0x8a, 0x63, 0xd2), Qt::white}};
        for (int i = 0; i < rows.size(); ++i) {
            const int y = 14 + i * 38;
            c.font(kMono, 13);
            c.text(16, y + 5, QString::fromLatin1(rows[i].name));
            c.font(kNoto, 12, true);
            c.pill(300, y, 26, 12, QString::fromLatin1(rows[i].status), rows[i].fill, rows[i].ink,
                   13);
        }
        corpus << c.finish(QStringLiteral("fills-dark-status"), fills);
    }
    {
        // A table with a filled header row and striped rows.
        Canvas c(600, 200, kLight);
        c.fill(QRect(0, 0, 600, 34), QColor(0x2b, 0x57, 0x97));
        c.font(kLiberation, 14, true);
        c.text(14, 8, QStringLiteral("Country"), Qt::white);
        c.text(250, 8, QStringLiteral("Capital"), Qt::white);
        c.text(450, 8, QStringLiteral("Population"), Qt::white);
        c.font(kLiberation, 14);
        const QStringList rows = split("Portugal\tLisbon\t10.3 million\n"
                                       "Norway\tOslo\t5.5 million\n"
                                       "Canada\tOttawa\t40.1 million\n"
                                       "Kenya\tNairobi\t55.1 million\n"
                                       "Chile\tSantiago\t19.6 million");
        for (int i = 0; i < rows.size(); ++i) {
            const int y = 34 + i * 32;
            if (i % 2) {
                c.fill(QRect(0, y, 600, 32), QColor(0xe8, 0xee, 0xf7));
            }
            const QStringList parts = rows[i].split(QLatin1Char('\t'));
            c.text(14, y + 8, parts[0]);
            c.text(250, y + 8, parts[1]);
            c.text(450, y + 8, parts[2]);
        }
        corpus << c.finish(QStringLiteral("fills-striped-table"), fills);
    }
    {
        // A dark snackbar with an action over a light page.
        Canvas c(620, 120, kLight);
        c.font(kSans, 14);
        c.text(20, 14, QStringLiteral("Drafts are saved automatically."), kLight.dim);
        c.roundedFill(QRect(20, 52, 580, 48), QColor(0x32, 0x32, 0x32), 6);
        c.text(40, 67, QStringLiteral("Message moved to Archive"), QColor(0xf1, 0xf1, 0xf1));
        c.font(kSans, 14, true);
        c.text(500, 67, QStringLiteral("UNDO"), QColor(0x8a, 0xb4, 0xf8));
        corpus << c.finish(QStringLiteral("fills-snackbar"), fills);
    }
    {
        // Calendar events: small white text on coloured blocks.
        Canvas c(560, 150, kLight);
        struct Event
        {
            QRect rect;
            const char* title;
            const char* time;
            QColor fill;
        };
        const QList<Event> events = {
            {QRect(10, 10, 260, 60), "Design review", "10:00 - 11:00", QColor(0x03, 0x9b, 0xe5)},
            {QRect(290, 10, 260, 60), "Lunch with Priya", "12:30 - 13:30",
             QColor(0x33, 0xb6, 0x79)},
            {QRect(10, 80, 260, 60), "Budget planning", "14:00 - 15:30", QColor(0xe6, 0x7c, 0x73)},
            {QRect(290, 80, 260, 60), "Team sync", "16:00 - 16:30", QColor(0x8e, 0x24, 0xaa)}};
        for (const Event& e : events) {
            c.roundedFill(e.rect, e.fill, 6);
            c.font(kNoto, 13, true);
            c.text(e.rect.x() + 10, e.rect.y() + 9, QString::fromLatin1(e.title), Qt::white);
            c.font(kNoto, 12);
            c.text(e.rect.x() + 10, e.rect.y() + 33, QString::fromLatin1(e.time), Qt::white);
        }
        corpus << c.finish(QStringLiteral("fills-calendar"), fills);
    }
    return corpus;
}
