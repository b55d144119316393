#include "ReportDocument.h"

QStringList ReportDocument::pageTexts(int page) const
{
    QStringList out;
    if (page < 0 || page >= pageCount())
        return out;
    for (const PageItem &item : pages[static_cast<size_t>(page)].items) {
        if (const auto *t = std::get_if<TextItem>(&item)) {
            QStringList lines;
            for (const TextLine &l : t->lines)
                lines << l.text;
            out << lines.join(u'\n');
        }
    }
    return out;
}

QFont documentFont(const ReportFont &f)
{
    QFont font(f.family);
    font.setPixelSize(std::max(1, qRound(f.points * DocUnits::PerInch / 72.0)));
    font.setBold(f.bold);
    font.setItalic(f.italic);
    // At this size hinting would only round advances; without it every device
    // places glyphs as the measurement did.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QImage normalizedPicture(const QImage &image)
{
    if (image.isNull())
        return image;
    const QImage::Format want = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    return image.format() == want ? image : image.convertToFormat(want);
}
