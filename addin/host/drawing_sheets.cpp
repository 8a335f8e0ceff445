#include "host/drawing_sheets.h"

#include <QString>
#include <QXmlStreamReader>

#include <utility>

namespace exportal {

namespace {

using Span = std::pair<qint64, qint64>;

// The character spans of the world's direct object children. The reader's offset is
// exact after a tag (it reads ahead only inside text), and no '<' can occur within a
// tag, so an object starts at the last '<' before the end of its start tag.
bool topLevelObjects(const QString& text, std::vector<Span>& objects) {
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

std::vector<QByteArray> sheetWorlds(const QByteArray& xgl) {
    const QString text = QString::fromUtf8(xgl);
    std::vector<Span> objects;
    if (!topLevelObjects(text, objects)) return {};
    std::vector<QByteArray> worlds;
    for (std::size_t kept = 0; kept < objects.size(); ++kept) {
        QString world;
        qint64 from = 0;
        for (std::size_t i = 0; i < objects.size(); ++i) {
            if (i == kept) continue;
            world += text.mid(from, objects[i].first - from);
            from = objects[i].second;
        }
        world += text.mid(from);
        worlds.push_back(world.toUtf8());
    }
    return worlds;
}

std::string sheetNameAt(int position) {
    return "Sheet:" + std::to_string(position);
}

}  // namespace exportal
