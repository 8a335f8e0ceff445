// What the window tests share: a started main window with a recording message sink,
// documents written to a fresh folder, and looks at the picture.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "app/scene_view.h"

namespace tessaro::testing {

struct RecordingSink : MessageSink {
    void showMessage(const char* text) override { messages.emplace_back(text); }
    std::vector<std::string> messages;
};

inline const char* const kBrokenWorld =
    "<world><lighting><ambient>1 1 1</ambient></lighting><p/></world>";
inline const char* const kBrokenMessage = "61: Tag Inappropriate in current context";

inline QString samplePath() {
    return QStringLiteral(TESSARO_SAMPLES "/grid.xgl");
}

// Pixels that differ from white, ignoring alpha.
inline int nonWhitePixels(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            if ((rgb.pixel(x, y) & 0xffffffu) != 0xffffffu) ++count;
        }
    }
    return count;
}

inline bool sameCamera(const Camera& a, const Camera& b) {
    for (int i = 0; i < 3; ++i) {
        if (a.forward[i] != b.forward[i] || a.up[i] != b.up[i] || a.centre[i] != b.centre[i] ||
            a.size[i] != b.size[i]) {
            return false;
        }
    }
    return true;
}

// Delivers a mouse event at once, as the window system would (positions in
// device-independent pixels).
inline void sendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Runs `check` on the first modal widget that appears (a dialog's own event loop is
// running then), which must close it.
inline void whenModalShows(std::function<void(QWidget*)> check) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, check] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        check(modal);
    });
    poll->start();
}

class ShellWindow : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    // With `messageBox`, load messages go to the real message box, else to m_sink.
    CMainFrame& start(const QStringList& arguments = {QStringLiteral("tessaro")},
                      bool messageBox = false, QPoint at = QPoint(0, 0)) {
        m_frame = std::make_unique<CMainFrame>(arguments, messageBox ? nullptr : &m_sink);
        m_frame->resize(480, 360);
        m_frame->move(at);
        m_frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
        EXPECT_TRUE(QTest::qWaitFor([this] { return m_frame->view()->hasContext(); }, 5000));
        return *m_frame;
    }

    QString writeDocument(const char* name, const char* content) {
        const QString path = m_folder.filePath(QString::fromUtf8(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    QImage picture() { return m_frame->view()->grabFramebuffer(); }
    QAction* command(int id) { return m_frame->action(id); }

    RecordingSink m_sink;
    QTemporaryDir m_folder;
    std::unique_ptr<CMainFrame> m_frame;
};

}  // namespace tessaro::testing
