// What the add-in tests share: a private settings folder, recorded message boxes, and
// a stand-in host window with a sample document.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "host/host_view.h"
#include "host/host_window.h"
#include "image_export.h"
#include "image_settings.h"
#include "user_prompts.h"

namespace exportal::testing {

struct ExportCall {
    std::string fileName;
    std::int32_t width;
};

class AddInTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        qputenv("XDG_CONFIG_HOME", folder.filePath("config").toUtf8());
        imageSettings() = ImageSettings{};
        setMessageHandler([this](QWidget*, const QString& text) { messages << text; });
        HostWindow::setMessageHandler([this](const QString& text) { hostMessages << text; });
        setImageExport([this](const std::string& name, std::int32_t width) {
            exports.push_back({name, width});
        });
    }
    void TearDown() override {
        setMessageHandler(nullptr);
        setFolderPicker(nullptr);
        setImageExport(nullptr);
        HostWindow::setMessageHandler(nullptr);
    }

    void storeSettings(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [key, value] : values)
            ASSERT_TRUE(writeSetting(kExportalApplication, key, value));
    }

    // A copy of the sample world under a CAD document's name.
    QString document(const QString& name) {
        const QString path = folder.filePath(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(QStringLiteral(EXPORTAL_SAMPLES "/grid.xgl"), path));
        return path;
    }

    // A shown host of that version with the add-in of this build.
    std::unique_ptr<HostWindow> startHost(int version = 11) {
        auto host = std::make_unique<HostWindow>(version);
        host->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(host.get()));
        EXPECT_TRUE(host->loadAddInLibrary(EXPORTAL_ADDIN));
        return host;
    }

    void openAndWait(HostWindow& host, const QString& path) {
        ASSERT_TRUE(host.openDocument(path));
        ASSERT_TRUE(QTest::qWaitFor([&] { return host.view()->hasPicture(); }, 10000));
    }

    QTemporaryDir folder;
    QStringList messages;
    QStringList hostMessages;
    std::vector<ExportCall> exports;
};

}  // namespace exportal::testing
