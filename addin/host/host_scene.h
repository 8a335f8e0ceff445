// The host's one use of the viewer's document: a document's XGL world loaded into the
// renderer of the current OpenGL context, and the camera box that fits it.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace exportal {

class HostScene {
  public:
    // Loads the XGL content of `documentPath` whatever its extension. Empty text on
    // success, else the viewer's numbered message (or why the file cannot be read);
    // on failure the picture stays empty.
    std::string load(const std::string& documentPath);
    // Loads `xgl`, the world of a part of the document (one sheet of a drawing); the
    // messages name the document.
    std::string loadWorld(const QByteArray& xgl, const std::string& documentPath);
    // The camera box the load fitted to the world; the orientation is kept.
    void fit() const;
    bool loaded() const { return m_loaded; }
    // Empties the picture: every display list goes.
    void clear();

  private:
    std::string loadXgl(const QString& xglPath, const std::string& documentPath);

    bool m_loaded = false;
    double m_fitCentre[3] = {0, 0, 0};
    double m_fitSize[3] = {2, 2, 2};
};

}  // namespace exportal
