#include "host/drawing_sheets.h"

#include <QString>
#include <QXmlStreamReader>

#include <utility>

namespace exportal {

namespace {

// The character spans of the world's direct object children. The reader's offset is
// exact after a tag (it reads ahead only inside text), and no '<' can occur within a
// tag, so an object starts at the last '<' before the end of its start tag.
bool topLevelObjects(const QString& text, std::vector<SheetSpan>& objects) {
    QXmlStreamReader reader(text);
    int depth = 0;
    qint64 objectStart = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        const bool object = reader.name().compare(u"object", Qt::CaseInsensitive) == 0;
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 2 && object)
                objectStart = text.lastIndexOf('<', reader.characterOffset() - 1);
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == 2 && object) objects.emplace_back(objectStart, reader.characterOffset());
            --depth;
        }
    }
    return !reader.hasError();
}

}  // namespace

std::vector<SheetSpan> sheetSpans(const QByteArray& xgl) {
    std::vector<SheetSpan> objects;
    if (!topLevelObjects(QString::fromUtf8(xgl), objects)) return {};
    return objects;
}

QByteArray sheetWorld(const QByteArray& xgl, const std::vector<SheetSpan>& sheets,
                      std::size_t kept) {
    const QString text = QString::fromUtf8(xgl);
    QString world;
    qint64 from = 0;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        if (i == kept) continue;
        world += text.mid(from, sheets[i].first - from);
        from = sheets[i].second;
    }
    world += text.mid(from);
    return world.toUtf8();
}

std::string sheetNameAt(int position) {
    return "Sheet:" + std::to_string(position);
}

}  // namespace exportal
