#include "views/HistoryRow.h"

#include "common/Clock.h"
#include "views/HistoryListModel.h"
#include "views/RelativeTimeFormatter.h"
#include "views/SymbolIcon.h"
#include "views/ViewStyle.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <array>

namespace {

constexpr int kPaddingX = 12;
constexpr int kPaddingY = 10;
constexpr int kIconFrame = 24;
constexpr int kIconSize = 16;
constexpr int kColumnGap = 8;
constexpr int kLineGap = 4;
constexpr int kButtonSize = 26;
constexpr int kButtonGap = 8;
constexpr int kPreviewPixels = 13;
constexpr int kDetailPixels = 11;
constexpr int kDetailIcon = 11;
constexpr int kDetailSpacing = 14;

// The preview keeps line breaks, but the row shows one line.
QString oneLine(const QString& text)
{
    QString line = text;
    for (QChar& c : line) {
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator) {
            c = u' ';
        }
    }
    return line;
}

} // namespace

HistoryRow::HistoryRow(const Clock& clock, QObject* parent)
    : QStyledItemDelegate(parent), m_clock(clock)
{
}

void HistoryRow::setHover(const QModelIndex& index, Part part)
{
    m_hovered = index;
    m_hoveredPart = index.isValid() ? part : Part::None;
}

QRect HistoryRow::buttonRect(const QRect& rowRect, Part button)
{
    const int top = rowRect.center().y() - kButtonSize / 2 + 1;
    const int deleteLeft = rowRect.right() - kPaddingX + 5 - kButtonSize;
    switch (button) {
    case Part::DeleteButton:
        return QRect(deleteLeft, top, kButtonSize, kButtonSize);
    case Part::CopyButton:
        return QRect(deleteLeft - kButtonGap - kButtonSize, top, kButtonSize, kButtonSize);
    default:
        return {};
    }
}

HistoryRow::Part HistoryRow::hitTest(const QRect& rowRect, const QPoint& pos)
{
    if (!rowRect.contains(pos)) {
        return Part::None;
    }
    for (Part button : {Part::CopyButton, Part::DeleteButton}) {
        if (buttonRect(rowRect, button).contains(pos)) {
            return button;
        }
    }
    return Part::Body;
}

QString HistoryRow::toolTip(Part part)
{
    switch (part) {
    case Part::CopyButton:
        return tr("Copy");
    case Part::DeleteButton:
        return tr("Delete");
    default:
        return {};
    }
}

QStringList HistoryRow::detailTexts(const QModelIndex& index, const QDateTime& now)
{
    using Role = HistoryListModel::Role;
    QStringList texts{
        tr("%1 words").arg(index.data(Role::WordCountRole).toLongLong()),
        RelativeTimeFormatter::shortText(index.data(Role::TimestampRole).toDateTime(), now)};
    if (index.data(Role::IsSyncedRole).toBool()) {
        texts.append(index.data(Role::DeviceNameRole).toString());
    }
    return texts;
}

QSize HistoryRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const int preview = QFontMetrics(ViewStyle::font(kPreviewPixels)).height();
    const int detail = QFontMetrics(ViewStyle::font(kDetailPixels)).height();
    return QSize(option.rect.width(), kPaddingY * 2 + preview + kLineGap + detail);
}

void HistoryRow::paint(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const
{
    using Role = HistoryListModel::Role;
    const QPalette& palette = option.palette;
    const QRect row = option.rect;
    const bool hovered = m_hovered.isValid() && m_hovered == index;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    if (hovered) {
        QColor fill = ViewStyle::accent(palette);
        fill.setAlphaF(0.1f);
        QPainterPath card;
        card.addRoundedRect(QRectF(row), 8, 8);
        painter->fillPath(card, fill);
    }
    if ((option.state & QStyle::State_HasFocus) &&
        (option.state & QStyle::State_KeyboardFocusChange)) {
        QColor ring = ViewStyle::accent(palette);
        ring.setAlphaF(0.6f);
        painter->setPen(QPen(ring, 1.5));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(row).adjusted(0.75, 0.75, -0.75, -0.75), 8, 8);
    }

    const bool synced = index.data(Role::IsSyncedRole).toBool();
    const QRectF iconFrame(row.left() + kPaddingX, row.top(), kIconFrame, row.height());
    const QRectF icon(iconFrame.center().x() - kIconSize / 2.0,
                      iconFrame.center().y() - kIconSize / 2.0, kIconSize, kIconSize);
    SymbolIcon::paint(*painter, synced ? u"sync" : u"computer", icon,
                      synced ? ViewStyle::syncedBlue() : ViewStyle::localGrey());

    const int textLeft = int(iconFrame.right()) + kColumnGap;
    int textRight = row.right() - kPaddingX;
    if (hovered) {
        textRight = buttonRect(row, Part::CopyButton).left() - kButtonGap;
    }
    const int textWidth = std::max(0, textRight - textLeft);

    const QFont previewFont = ViewStyle::font(kPreviewPixels);
    const QFontMetrics previewMetrics(previewFont);
    const QFont detailFont = ViewStyle::font(kDetailPixels);
    const QFontMetrics detailMetrics(detailFont);
    const int previewTop = row.top() + kPaddingY;
    const int detailTop = previewTop + previewMetrics.height() + kLineGap;

    painter->setFont(previewFont);
    painter->setPen(palette.color(QPalette::Text));
    const QString preview = previewMetrics.elidedText(
        oneLine(index.data(Role::PreviewRole).toString()), Qt::ElideRight, textWidth);
    painter->drawText(QRect(textLeft, previewTop, textWidth, previewMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, preview);

    const QColor secondary = ViewStyle::secondaryText(palette);
    const QStringList texts = detailTexts(index, m_clock.now());
    static constexpr std::array<QStringView, 3> symbols{u"word-count", u"clock", u"laptop"};
    painter->setFont(detailFont);
    int x = textLeft;
    for (qsizetype i = 0; i < texts.size() && x < textRight; ++i) {
        const QRectF symbol(x, detailTop + (detailMetrics.height() - kDetailIcon) / 2.0,
                            kDetailIcon, kDetailIcon);
        SymbolIcon::paint(*painter, symbols[size_t(i)], symbol, secondary);
        x += kDetailIcon + 4;
        const QString text =
            detailMetrics.elidedText(texts[i], Qt::ElideRight, std::max(0, textRight - x));
        painter->setPen(secondary);
        painter->drawText(QRect(x, detailTop, textRight - x, detailMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        x += detailMetrics.horizontalAdvance(text) + kDetailSpacing;
    }

    if (hovered) {
        for (Part button : {Part::CopyButton, Part::DeleteButton}) {
            const QRect r = buttonRect(row, button);
            const bool under = m_hoveredPart == button;
            if (under) {
                QColor back = palette.color(QPalette::Text);
                back.setAlphaF(0.08f);
                QPainterPath path;
                path.addRoundedRect(QRectF(r), 6, 6);
                painter->fillPath(path, back);
            }
            const QColor ink = under
                                   ? (button == Part::DeleteButton ? ViewStyle::destructiveRed()
                                                                   : palette.color(QPalette::Text))
                                   : secondary;
            SymbolIcon::paint(*painter, button == Part::CopyButton ? u"copy" : u"delete",
                              QRectF(r).adjusted(5, 5, -5, -5), ink);
        }
    }
    painter->restore();
}

bool HistoryRow::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                           const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const QString tip = toolTip(hitTest(option.rect, event->pos()));
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), tip, view->viewport(),
                       buttonRect(option.rect, hitTest(option.rect, event->pos())));
    return true;
}
