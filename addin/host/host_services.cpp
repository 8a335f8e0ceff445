#include "host/host_services.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <zlib.h>

#include <cmath>
#include <vector>

namespace exportal {

namespace {

// Centimetres per unit; false for a unit the host does not know.
bool centimetresPerUnit(const QString& unit, double& factor) {
    static const struct {
        const char* name;
        double centimetres;
    } kUnits[] = {{"in", 2.54}, {"ft", 30.48}, {"mm", 0.1}, {"cm", 1.0}, {"m", 100.0}};
    for (const auto& known : kUnits) {
        if (unit.compare(known.name, Qt::CaseInsensitive) == 0) {
            factor = known.centimetres;
            return true;
        }
    }
    return false;
}

}  // namespace

DocumentType documentTypeOf(const std::string& fileName) {
    const QString suffix = QFileInfo(QString::fromStdString(fileName)).suffix().toLower();
    if (suffix == "ipt") return DocumentType::part;
    if (suffix == "iam") return DocumentType::assembly;
    if (suffix == "idw") return DocumentType::drawing;
    if (suffix == "ipn") return DocumentType::presentation;
    return DocumentType::unknown;
}

bool evaluateLengthExpression(const std::string& expression, const std::string& defaultUnit,
                              double& centimetres) {
    static const QRegularExpression kLength(
        R"(^\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)\s*([A-Za-z]*)\s*$)");
    const QRegularExpressionMatch match = kLength.match(QString::fromStdString(expression));
    if (!match.hasMatch()) return false;
    const QString unit =
        match.captured(2).isEmpty() ? QString::fromStdString(defaultUnit) : match.captured(2);
    double factor = 0;
    if (!centimetresPerUnit(unit, factor)) return false;
    const double value = match.captured(1).toDouble() * factor;
    if (!std::isfinite(value)) return false;
    centimetres = value;
    return true;
}

bool writeZglCopy(const QByteArray& xgl, const std::string& fileName) {
    uLongf size = compressBound(static_cast<uLong>(xgl.size()));
    std::vector<Bytef> packed(size);
    if (compress2(packed.data(), &size, reinterpret_cast<const Bytef*>(xgl.constData()),
                  static_cast<uLong>(xgl.size()), Z_BEST_COMPRESSION) != Z_OK) {
        return false;
    }
    QSaveFile file(QString::fromStdString(fileName));
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(reinterpret_cast<const char*>(packed.data()), static_cast<qint64>(size));
    return file.commit();
}

}  // namespace exportal
