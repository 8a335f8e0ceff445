#include "host/host_scene.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "document/scene_document.h"
#include "render/renderer.h"

namespace exportal {

namespace {

struct FirstMessage final : tessaro::MessageSink {
    void showMessage(const char* text) override {
        if (message.empty()) message = text;
    }
    std::string message;
};

}  // namespace

// The viewer picks its reader by extension; the document's content is XGL under a
// CAD extension, so it is read through a link that carries the XGL extension.
std::string HostScene::load(const std::string& documentPath) {
    m_loaded = false;
    QTemporaryDir folder;
    const QString link = folder.filePath("document.xgl");
    if (!QFile::exists(QString::fromStdString(documentPath))) {
        return "The document " + documentPath + " does not exist.";
    }
    if (!folder.isValid() ||
        !QFile::link(QFileInfo(QString::fromStdString(documentPath)).absoluteFilePath(), link)) {
        return "The document " + documentPath + " cannot be read.";
    }
    return loadXgl(link, documentPath);
}

std::string HostScene::loadWorld(const QByteArray& xgl, const std::string& documentPath) {
    m_loaded = false;
    QTemporaryDir folder;
    QFile file(folder.filePath("sheet.xgl"));
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) || file.write(xgl) != xgl.size()) {
        return "The document " + documentPath + " cannot be read.";
    }
    file.close();
    return loadXgl(file.fileName(), documentPath);
}

std::string HostScene::loadXgl(const QString& xglPath, const std::string& documentPath) {
    FirstMessage messages;
    tessaro::SceneDocument document(&messages);
    document.load(xglPath.toStdString().c_str());
    if (!messages.message.empty()) {
        tessaro::clearDisplay();
        return messages.message;
    }
    if (tessaro::viewState().sceneList() == 0) {
        return "The document " + documentPath + " holds no world.";
    }
    tessaro::viewState().getViewBox(m_fitCentre, m_fitSize);
    m_loaded = true;
    return {};
}

void HostScene::fit() const {
    if (m_loaded) tessaro::viewState().setViewBox(m_fitCentre, m_fitSize);
}

void HostScene::clear() {
    m_loaded = false;
    tessaro::clearDisplay();
}

}  // namespace exportal
