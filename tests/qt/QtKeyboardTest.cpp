#include "QtWindowFixture.h"

#include <QApplication>
#include <QTest>

namespace {
class QtKeyboardTest : public QtWindowTest {
protected:
    void ShowWithFocusInTheLog()
    {
        Show();
        LogBox()->setFocus();
    }
};
} // namespace

TEST_F(QtKeyboardTest, LogBoxTakesTypingButEnterAndEscapeEndTheDialog)
{
    Hubs();
    ShowWithFocusInTheLog();
    LogBox()->moveCursor(QTextCursor::End);
    QTest::keyClicks(LogBox(), QStringLiteral("ok"));
    const QString typed = LogBox()->toPlainText();
    EXPECT_TRUE(typed.endsWith(QStringLiteral("ok")));
    EXPECT_TRUE(Dialog().isVisible());

    // Enter is the dialog's OK, from the main keys and the keypad alike, and
    // adds no line to the box.
    QTest::keyClick(LogBox(), Qt::Key_Return);
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_EQ(Dialog().result(), QDialog::Accepted);
    EXPECT_EQ(LogBox()->toPlainText(), typed);

    Dialog().setResult(QDialog::Rejected);
    ShowWithFocusInTheLog();
    QTest::keyClick(LogBox(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_EQ(Dialog().result(), QDialog::Accepted);
    EXPECT_EQ(LogBox()->toPlainText(), typed);

    ShowWithFocusInTheLog();
    QTest::keyClick(LogBox(), Qt::Key_Escape);
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_EQ(Dialog().result(), QDialog::Rejected);
}

TEST_F(QtKeyboardTest, EnterOnAFocusedButtonPressesThatButton)
{
    Hubs();
    Show();
    ScanButton()->setFocus();
    NoHubs();
    QTest::keyClick(ScanButton(), Qt::Key_Return);
    EXPECT_TRUE(Dialog().isVisible());
    EXPECT_EQ(LampPixel(), LampColour(kLampRed));
}

TEST_F(QtKeyboardTest, EnterWithTheFocusNowhereEndsTheDialog)
{
    Hubs();
    Show();
    // The buttons had the focus before: neither may have stayed the default.
    ScanButton()->setFocus();
    StartButton()->setFocus();
    StartButton()->clearFocus();
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    QTest::keyClick(&Dialog(), Qt::Key_Return);
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_EQ(Dialog().result(), QDialog::Accepted);
}
