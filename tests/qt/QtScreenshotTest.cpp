// The window after its automatic scan on the demo bench, saved as a picture
// for the documentation and for a look by eye.
#include "ProgramFolder.h"
#include "QtWindowFixture.h"

#include <QTest>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {
std::string ReadDemoFile(const char* name)
{
    std::ifstream in(std::filesystem::path(TOLVANE_DEMO_DIR) / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
} // namespace

TEST_F(QtWindowTest, ScreenshotAfterTheScanOfTheDemoBench)
{
    for (const char* name : {"SpiFlash.ini", "HubBench.ini"}) {
        const std::string text = ReadDemoFile(name);
        ASSERT_FALSE(text.empty()) << name;
        dir.Write(name, text);
    }
    Show();
    EXPECT_EQ(LampPixel(), LampColour(kLampGreen));
    EXPECT_TRUE(LogBox()->toPlainText().contains(QStringLiteral("3 devices found:")));

    const std::filesystem::path folder = ProgramFolder().parent_path() / "screenshots";
    std::filesystem::create_directories(folder);
    const QString file = QString::fromStdString((folder / "tolvane-linux.png").string());
    const QImage shot = Dialog().grab().toImage();
    EXPECT_EQ(shot.size(), Dialog().size());
    EXPECT_TRUE(shot.save(file, "PNG")) << file.toStdString();
}
