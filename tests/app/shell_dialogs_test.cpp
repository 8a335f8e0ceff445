#include <QDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "app/shell_dialogs.h"
#include "shell/shell_texts.h"
#include "shell_fixture.h"

namespace tessaro::testing {
namespace {

using ShellDialogs = ShellWindow;

TEST_F(ShellDialogs, CancelledOpenChangesNothing) {
    CMainFrame& frame = start();
    frame.openFile(samplePath());
    const QString title = frame.windowTitle();
    const QImage before = picture();
    QStringList filters, patterns;
    whenModalShows([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        patterns = static_cast<OpenSceneDialog*>(dialog)->listPatterns();
        dialog->reject();
    });
    command(kOpenCommand)->trigger();
    EXPECT_EQ(filters, (QStringList{"XGL Files (*.xgl; *.zgl)", "All Files (*.*)"}));
    EXPECT_EQ(patterns, (QStringList{"*.xgl", "*.zgl"}));
    EXPECT_EQ(frame.windowTitle(), title);
    EXPECT_TRUE(frame.loaded());
    EXPECT_EQ(picture(), before);
}

TEST_F(ShellDialogs, OpenDialogLoadsTheChosenFileInAnyLetterCase) {
    CMainFrame& frame = start();
    const QString upper = m_folder.filePath(QStringLiteral("GRID.XGL"));
    ASSERT_TRUE(QFile::copy(samplePath(), upper));
    whenModalShows([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(m_folder.path());
        // Typed like a user would: the list fills in the background.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(upper);
        static_cast<QDialog*>(dialog)->accept();
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog stayed open";
            dialog->reject();
        }
    });
    command(kOpenCommand)->trigger();
    EXPECT_EQ(frame.windowTitle(), upper + QStringLiteral(" - Tessaro"));
    EXPECT_GT(nonWhitePixels(picture()), 1000);
}

TEST_F(ShellDialogs, ListPatternsFollowTheChosenFilter) {
    OpenSceneDialog dialog(nullptr);
    dialog.show();
    EXPECT_EQ(dialog.listPatterns(), (QStringList{"*.xgl", "*.zgl"}));
    Q_EMIT dialog.filterSelected(QStringLiteral("All Files (*.*)"));
    EXPECT_EQ(dialog.listPatterns(), QStringList{"*.*"});
}

TEST_F(ShellDialogs, LoadErrorShowsAnExclamationBoxCaptionedTessaro) {
    CMainFrame& frame = start({QStringLiteral("tessaro")}, true);
    int boxes = 0;
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    whenModalShows([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        ++boxes;
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    frame.openFile(writeDocument("broken.zgl.xgl", kBrokenWorld));
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(caption, QStringLiteral("Tessaro"));
    EXPECT_TRUE(text.startsWith(QString::fromUtf8(kBrokenMessage))) << text.toStdString();
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(nonWhitePixels(picture()), 0);
}

// Also at start-up, when the load runs as soon as the window first shows.
TEST_F(ShellDialogs, MessageBoxIsCentredOnTheMainWindow) {
    QPoint boxMiddle;
    whenModalShows([&](QWidget* modal) {
        boxMiddle = modal->frameGeometry().center();
        static_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
    });
    const QString missing = m_folder.filePath(QStringLiteral("nosuch.zgl"));
    CMainFrame& frame = start({QStringLiteral("tessaro"), missing}, true, QPoint(300, 200));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxMiddle.isNull(); }, 5000));
    EXPECT_LE((boxMiddle - frame.frameGeometry().center()).manhattanLength(), 4)
        << boxMiddle.x() << "," << boxMiddle.y();
}

TEST_F(ShellDialogs, AboutBoxShowsItsLinesAndClosesWithOk) {
    start();
    QString caption;
    QStringList lines;
    bool okIsDefault = false;
    whenModalShows([&](QWidget* modal) {
        auto* box = qobject_cast<QDialog*>(modal);
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) lines.append(label->text());
        }
        auto* ok = box->findChild<QPushButton*>();
        ASSERT_NE(ok, nullptr);
        okIsDefault = ok->isDefault() && ok->text() == QStringLiteral("OK");
        ok->click();
    });
    command(kAboutCommand)->trigger();
    EXPECT_EQ(caption, QStringLiteral("About Tessaro"));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.front(), QStringLiteral("Tessaro Sample"));
    EXPECT_TRUE(okIsDefault);
}

TEST(DroppedSceneFile, IsTheFirstLocalSceneFile) {
    const QList<QUrl> urls = {QUrl(QStringLiteral("https://example.org/remote.xgl")),
                              QUrl::fromLocalFile(QStringLiteral("/tmp/notes.txt")),
                              QUrl::fromLocalFile(QStringLiteral("/tmp/Model.ZGL")),
                              QUrl::fromLocalFile(QStringLiteral("/tmp/other.xgl"))};
    EXPECT_EQ(droppedSceneFile(urls), QStringLiteral("/tmp/Model.ZGL"));
}

TEST(DroppedSceneFile, IsEmptyWithoutOne) {
    EXPECT_TRUE(droppedSceneFile({QUrl::fromLocalFile(QStringLiteral("/tmp/a.png"))}).isEmpty());
    EXPECT_TRUE(droppedSceneFile({}).isEmpty());
}

}  // namespace
}  // namespace tessaro::testing
