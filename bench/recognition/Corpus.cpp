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
    QColor accent;     // selection background
    QColor accentText; // text on the selection
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
    Canvas(int width, int height, const Theme& theme)
        : m_image(width, height, QImage::Format_RGB32), m_theme(theme)
    {
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
        const double W = m_image.width();
        const double H = m_image.height();
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
        return CorpusSample{
            name, category, m_image,
            ReadingOrder::joinObservations(ReadingOrder::orderObservations(m_fragments))};
    }

private:
    QImage m_image;
    Theme m_theme;
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

} // namespace

QList<CorpusSample> buildCorpus()
{
    QList<CorpusSample> corpus;
    const QString ui = QStringLiteral("ui");

    // Interface text.
    corpus << uiDialog(kLight, QStringLiteral("ui-dialog-800x300"), ui);
    corpus << uiDialog(kGrey, QStringLiteral("ui-dialog-grey"), ui);
    corpus << menu(
        kLight, kSans, 13,
        split("New Window\tCtrl+N\nOpen File...\tCtrl+O\nOpen Recent\nSave\tCtrl+S\n"
              "Save As...\tShift+Ctrl+S\nPrint...\tCtrl+P\nClose Window\tCtrl+W\nQuit\tCtrl+Q"),
        3, QStringLiteral("ui-file-menu"), ui);
    corpus << menu(kGrey, kLiberation, 14,
                   split("Cut\nCopy\nPaste\nSelect All\nFind and Replace\nPreferences"), 1,
                   QStringLiteral("ui-edit-menu"), ui);
    {
        Canvas c(900, 40, kGrey);
        c.font(kNoto, 14);
        int x = 12;
        for (const QString& item :
             split("File\nEdit\nView\nHistory\nBookmarks\nProfiles\nTools\nWindow\nHelp")) {
            x += c.text(x, 11, item) + 22;
        }
        corpus << c.finish(QStringLiteral("ui-menubar"), ui);
    }
    {
        Canvas c(640, 180, kLight);
        c.font(kSans, 16, true);
        c.text(20, 16, QStringLiteral("Update available"));
        c.font(kSans, 13);
        c.lines(20, 50,
                split("Version 4.2.1 is ready to install. The update fixes a crash when\n"
                      "opening large folders and improves battery life on laptops."),
                20);
        c.fill(QRect(400, 128, 100, 30), kLight.accent);
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
    corpus << paragraph(kLight, kSans, 14, prose, 640, QStringLiteral("para-dejavu-14"),
                        QStringLiteral("paragraph"));
    corpus << paragraph(kLight, kLiberation, 16, prose, 640, QStringLiteral("para-liberation-16"),
                        QStringLiteral("paragraph"));
    corpus << paragraph(kGrey, kNoto, 18, prose, 700, QStringLiteral("para-noto-18"),
                        QStringLiteral("paragraph"));
    corpus << paragraph(kLight, kSerif, 24,
                        split("The quick brown fox jumps over the lazy dog.\n"
                              "Pack my box with five dozen liquor jugs.\n"
                              "How vexingly quick daft zebras jump!"),
                        760, QStringLiteral("para-serif-24"), QStringLiteral("paragraph"));
    corpus << paragraph(kLight, kNoto, 15,
                        split("Meeting notes, 14 March 2024\n"
                              "1. Budget for Q2 approved at 48,500 EUR (+12%).\n"
                              "2. Contact: support@example.com or +44 20 7946 0958.\n"
                              "3. Next review on 2024-04-02 at 10:30 in room B-204."),
                        640, QStringLiteral("para-numbers-15"), QStringLiteral("paragraph"));

    // Two columns.
    corpus << twoColumns(
        kLight, kSans, 13,
        split("Faster start-up on older machines.\nLower memory use while idle.\n"
              "Captures keep their original size.\nNew shortcut for repeated capture.\n"
              "History search ignores accents.\nFixed a crash on empty selections."),
        split("Dark theme follows the system.\nToasts no longer steal focus.\n"
              "Improved reading of small text.\nTables are copied as markdown.\n"
              "Translations were updated.\nThe tray icon has a new shape."),
        300, QStringLiteral("columns-dejavu-13"));
    corpus << twoColumns(
        kGrey, kLiberation, 15,
        split("Monday: planning session\nTuesday: design review\nWednesday: customer calls\n"
              "Thursday: release testing\nFriday: retrospective"),
        split("Owner: Alice Johnson\nOwner: Robert Chen\nOwner: Maria Garcia\n"
              "Owner: David Miller\nOwner: Sarah Wilson"),
        280, QStringLiteral("columns-liberation-15"));
    corpus << twoColumns(
        kDark, kNoto, 14,
        split("Open the settings window.\nChoose the shortcut field.\nPress the new keys.\n"
              "Confirm with Enter.\nTry the shortcut once."),
        split("Keys already in use are refused.\nModifiers alone are not allowed.\n"
              "Escape cancels the recording.\nThe old shortcut stays active.\n"
              "Changes apply at once."),
        300, QStringLiteral("columns-dark-14"));

    // Price lists.
    corpus << priceList(kLight, kSans, 14,
                        split("Espresso\t$2.50\nCappuccino\t$3.80\nCaffe Latte\t$4.20\n"
                              "Hot Chocolate\t$3.50\nBlueberry Muffin\t$2.95\nCroissant\t$2.40"),
                        QStringLiteral("Coffee Bar Menu"), QStringLiteral("prices-coffee"));
    corpus << priceList(kGrey, kLiberation, 15,
                        split("Basic plan\t$9\nStandard plan\t$19\nPremium plan\t$49\n"
                              "Extra storage (100 GB)\t$4.99\nPriority support\t$15"),
                        QStringLiteral("Pricing"), QStringLiteral("prices-plans"));
    corpus << priceList(kDark, kNoto, 13,
                        split("USB-C cable 2 m\t$12.99\nWireless mouse\t$24.50\n"
                              "Mechanical keyboard\t$89.00\nMonitor stand\t$39.95\n"
                              "Laptop sleeve 14 in\t$19.99\nWebcam HD\t$54.00"),
                        QStringLiteral("Order Summary"), QStringLiteral("prices-dark"));

    // Dark themes.
    corpus << uiDialog(kDark, QStringLiteral("dark-dialog"), QStringLiteral("dark"));
    corpus << menu(kDarkBlue, kNoto, 14,
                   split("Go to Definition\tF12\nFind All References\tShift+F12\n"
                         "Rename Symbol\tF2\nFormat Document\nCommand Palette\tCtrl+Shift+P"),
                   2, QStringLiteral("dark-context-menu"), QStringLiteral("dark"));
    corpus << paragraph(kDark, kSans, 15, prose, 660, QStringLiteral("dark-para-15"),
                        QStringLiteral("dark"));
    corpus << terminal(kDark, 14,
                       split("$ git status\nOn branch main\nChanges not staged for commit:\n"
                             "  modified:   src/main.cpp\n  modified:   README.md\n"
                             "no changes added to commit"),
                       QStringLiteral("dark-terminal"));

    // Small text.
    corpus << paragraph(kLight, kSans, 11, prose, 520, QStringLiteral("small-dejavu-11"),
                        QStringLiteral("small"));
    corpus << paragraph(kLight, kLiberation, 12, prose, 520, QStringLiteral("small-liberation-12"),
                        QStringLiteral("small"));
    corpus << menu(kGrey, kNoto, 11,
                   split("Show hidden files\nSort by name\nSort by date\nGroup by type\nRefresh"),
                   -1, QStringLiteral("small-menu-11"), QStringLiteral("small"));
    {
        Canvas c(700, 26, kGrey);
        c.font(kSans, 11);
        c.text(8, 6, QStringLiteral("Ready"), kGrey.dim);
        c.text(300, 6, QStringLiteral("Line 42, Column 17"), kGrey.dim);
        c.text(560, 6, QStringLiteral("UTF-8"), kGrey.dim);
        corpus << c.finish(QStringLiteral("small-statusbar-11"), QStringLiteral("small"));
    }

    // Text on coloured fills: selected rows, filled buttons, banners, badges.
    const QString fills = QStringLiteral("fills");
    corpus << menu(kGrey, kSans, 13,
                   split("Undo\tCtrl+Z\nRedo\tShift+Ctrl+Z\nCut\tCtrl+X\nCopy\tCtrl+C\n"
                         "Paste\tCtrl+V\nDelete\nSelect All\tCtrl+A"),
                   3, QStringLiteral("fills-menu-lightblue"), fills);
    {
        // A file list with a system-blue selected row and an inactive grey one.
        Canvas c(560, 200, kLight);
        c.font(kNoto, 13, true);
        c.text(16, 10, QStringLiteral("Name"), kLight.dim);
        c.text(330, 10, QStringLiteral("Size"), kLight.dim);
        c.text(430, 10, QStringLiteral("Modified"), kLight.dim);
        c.font(kNoto, 13);
        const QStringList rows = split("Annual report.pdf\t2.4 MB\tToday\n"
                                       "Budget 2024.xlsx\t88 KB\tYesterday\n"
                                       "Holiday photos\t--\tMonday\n"
                                       "Meeting notes.txt\t4 KB\t12 March\n"
                                       "Project plan.odt\t310 KB\t3 March");
        for (int i = 0; i < rows.size(); ++i) {
            const int y = 36 + i * 30;
            const QStringList parts = rows[i].split(QLatin1Char('\t'));
            QColor color = kLight.text;
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
        Canvas c(640, 190, kLight);
        c.font(kLiberation, 14, true);
        c.text(20, 14, QStringLiteral("Software Update"));
        c.font(kLiberation, 13);
        c.text(20, 42, QStringLiteral("A new version is ready. Restart to finish installing."),
               kLight.dim);
        c.pill(360, 74, 30, 18, QStringLiteral("Install Now"), QColor(0x1a, 0x73, 0xe8), Qt::white);
        c.text(500, 81, QStringLiteral("Remind me later"));
        c.text(20, 81, QStringLiteral("Size: 84 MB"), kLight.dim);
        c.font(kLiberation, 13, true);
        c.pill(20, 130, 32, 16, QStringLiteral("Save changes"), QColor(0x2e, 0xa0, 0x43), Qt::white,
               6);
        c.pill(180, 130, 32, 16, QStringLiteral("Delete account"), QColor(0xd9, 0x30, 0x25),
               Qt::white, 6);
        c.font(kLiberation, 13);
        c.frame(QRect(360, 130, 90, 32), kLight.dim);
        c.text(383, 138, QStringLiteral("Cancel"));
        c.text(480, 138, QStringLiteral("Learn more"), QColor(0x1a, 0x73, 0xe8));
        corpus << c.finish(QStringLiteral("fills-buttons"), fills);
    }
    {
        // Warning and error banners above ordinary text.
        Canvas c(680, 200, kLight);
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
        Canvas c(600, 170, kLight);
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
        Canvas c(640, 220, kDark);
        c.font(kNoto, 13);
        const QStringList sidebar = split("General\nAppearance\nShortcuts\nPrivacy\nAbout");
        for (int i = 0; i < sidebar.size(); ++i) {
            const int y = 14 + i * 32;
            if (i == 2) {
                c.roundedFill(QRect(8, y, 150, 30), QColor(0x3d, 0x7e, 0xff));
            }
            c.text(20, y + 7, sidebar[i], i == 2 ? QColor(Qt::white) : kDark.text);
        }
        c.font(kNoto, 15, true);
        c.text(190, 16, QStringLiteral("Keyboard Shortcuts"));
        c.font(kNoto, 13);
        c.text(190, 52, QStringLiteral("Capture a region"), kDark.text);
        c.pill(420, 48, 24, 8, QStringLiteral("Shift+Super+8"), QColor(0x3a, 0x3a, 0x3a),
               kDark.text);
        c.text(190, 88, QStringLiteral("Scan a barcode"), kDark.text);
        c.pill(420, 84, 24, 8, QStringLiteral("Enabled"), QColor(0x23, 0x86, 0x36), Qt::white, 12);
        c.pill(470, 164, 30, 16, QStringLiteral("Apply"), QColor(0x3d, 0x7e, 0xff), Qt::white);
        c.text(560, 171, QStringLiteral("Reset"), kDark.dim);
        corpus << c.finish(QStringLiteral("fills-dark-accents"), fills);
    }
    {
        // A tab bar with a filled active tab and a toolbar with a coloured chip.
        Canvas c(720, 44, kGrey);
        c.font(kSans, 12);
        int x = 8;
        const QStringList tabs = split("Overview\nActivity\nMembers\nSettings\nBilling");
        for (int i = 0; i < tabs.size(); ++i) {
            const QColor fillColor = i == 1 ? QColor(0x6f, 0x42, 0xc1) : kGrey.background;
            x += c.pill(x, 8, 28, 12, tabs[i], fillColor, i == 1 ? QColor(Qt::white) : kGrey.text,
                        14) +
                 6;
        }
        c.pill(600, 10, 24, 10, QStringLiteral("Pro plan"), QColor(0xff, 0x8c, 0x00),
               QColor(0x1f, 0x1f, 0x1f), 12);
        corpus << c.finish(QStringLiteral("fills-tabs"), fills);
    }

    // Accented Latin.
    corpus << paragraph(kLight, kSans, 15,
                        split("Les élèves ont étudié la leçon près de la fenêtre.\n"
                              "Où est la bibliothèque ? Elle ferme à dix-huit heures.\n"
                              "Ça coûte très cher, mais c'est un cadeau extraordinaire."),
                        640, QStringLiteral("accents-french"), QStringLiteral("accents"));
    corpus << paragraph(kLight, kLiberation, 16,
                        split("Die Größe der Straße überrascht die Bürger.\n"
                              "Schöne Grüße aus München und Köln.\n"
                              "Über die Brücke fährt ein großer Lastwagen."),
                        600, QStringLiteral("accents-german"), QStringLiteral("accents"));
    corpus << paragraph(kGrey, kNoto, 15,
                        split("El niño pequeño comió una manzana en el jardín.\n"
                              "¿Dónde está la estación de autobús?\n"
                              "A canção do coração não tem tradução."),
                        600, QStringLiteral("accents-spanish-portuguese"),
                        QStringLiteral("accents"));
    corpus << paragraph(kDark, kSans, 14,
                        split("Perché la città è così bella in primavera?\n"
                              "Più tardi andremo al caffè vicino all'università."),
                        600, QStringLiteral("accents-italian-dark"), QStringLiteral("accents"));

    // Cyrillic.
    corpus << paragraph(kLight, kSans, 15,
                        split("Съешь же ещё этих мягких французских булок.\n"
                              "Москва является столицей Российской Федерации.\n"
                              "Сегодня хорошая погода для прогулки в парке."),
                        620, QStringLiteral("cyrillic-russian"), QStringLiteral("cyrillic"));
    corpus << paragraph(kLight, kNoto, 16,
                        split("Київ є столицею України.\n"
                              "Ґанок біля їхньої хати пофарбований у жовтий колір.\n"
                              "Щастя не купиш за гроші."),
                        620, QStringLiteral("cyrillic-ukrainian"), QStringLiteral("cyrillic"));
    corpus << menu(kLight, kSans, 13,
                   split("Создать\tCtrl+N\nОткрыть...\tCtrl+O\nСохранить\tCtrl+S\n"
                         "Сохранить как...\nПечать...\tCtrl+P\nВыход\tCtrl+Q"),
                   -1, QStringLiteral("cyrillic-menu"), QStringLiteral("cyrillic"));
    corpus << paragraph(kDark, kLiberation, 14,
                        split("Настройки сохранены.\nПроверьте подключение к сети."), 480,
                        QStringLiteral("cyrillic-dark"), QStringLiteral("cyrillic"));
    return corpus;
}
