// Widgets need one QApplication for the whole test program.
#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {
class QtAppEnvironment : public testing::Environment {
public:
    void SetUp() override { m_app = std::make_unique<QApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[9] = "qt_tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

const testing::Environment* const registered = testing::AddGlobalTestEnvironment(new QtAppEnvironment);
} // namespace
