#include "views/OnboardingPage.h"

#include "views/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace ViewStyle;

namespace {
constexpr int kFeatureIconColumn = 30;
constexpr int kFeatureIconSize = 24;
} // namespace

OnboardingPage::OnboardingPage(const Header& header, QWidget* parent)
    : QWidget(parent), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(40, 24, 40, 16);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
    m_layout->addWidget(
        SymbolIcon::makeLabel(header.symbol, header.symbolSize,
                              header.symbolColor.isValid() ? header.symbolColor : accent(palette()),
                              this),
        0, Qt::AlignHCenter);
    m_layout->addSpacing(16);
    m_layout->addWidget(
        makeLabel(header.title, ViewStyle::font(header.titlePixels, QFont::Bold), this), 0,
        Qt::AlignHCenter);
    m_layout->addSpacing(8);
    m_layout->addWidget(makeSecondaryLabel(header.subtitle, header.subtitleStyle, this), 0,
                        Qt::AlignHCenter);
    m_layout->addStretch(1);
}

void OnboardingPage::addBlock(QWidget* block, int gap)
{
    // Before the closing stretch.
    const int at = m_layout->count() - 1;
    m_layout->insertSpacing(at, gap);
    m_layout->insertWidget(at + 1, block, 0, Qt::AlignHCenter);
}

void OnboardingPage::addFeatures(std::initializer_list<Feature> features)
{
    auto* block = new QWidget(this);
    auto* rows = new QVBoxLayout(block);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(16);
    for (const Feature& feature : features) {
        auto* row = new QHBoxLayout;
        row->setSpacing(12);
        QLabel* symbol =
            SymbolIcon::makeLabel(feature.symbol, kFeatureIconSize, accent(palette()), block);
        symbol->setFixedWidth(kFeatureIconColumn);
        row->addWidget(symbol, 0, Qt::AlignVCenter);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(makeLabel(feature.title, textFont(TextStyle::Headline), block));
        texts->addWidget(makeSecondaryLabel(feature.description, TextStyle::Subheadline, block));
        row->addLayout(texts, 1);
        rows->addLayout(row);
    }
    addBlock(block, 32);
}
