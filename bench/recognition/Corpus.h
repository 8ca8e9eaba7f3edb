#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Synthetic screen captures with their ground truth: interface labels and
// menus, paragraphs, two columns, price lists, dark themes, small text,
// accented Latin and Cyrillic, rendered with the Debian fonts.
struct CorpusSample
{
    QString name;
    QString category;
    QImage image;
    // What a recognizer that reads every fragment right would deliver: the
    // drawn fragments put through reading order and joined.
    QString truth;
};

QList<CorpusSample> buildCorpus();
