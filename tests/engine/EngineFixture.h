// A fresh engine per test, run in a scratch folder against the simulated ISP
// library, with a window that records every push.
#ifndef TOLVANE_TESTS_ENGINEFIXTURE_H
#define TOLVANE_TESTS_ENGINEFIXTURE_H

#include "Bench.h"
#include "HubUpgrader.h"
#include "Images.h"
#include "Platform.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

class RecordingWindow : public IUpgraderWindow {
public:
    void SetLogText(const std::wstring& text) override { pushes.push_back(tolvane::platform::WideToUtf8(text)); }
    void SetProgressRange(int lower, int upper) override { ranges.emplace_back(lower, upper); }
    void SetProgressPos(int position) override { positions.push_back(position); }

    std::string Last() const { return pushes.empty() ? std::string() : pushes.back(); }

    std::vector<std::string> pushes;
    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
};

// The hub chain that the settings built, hub 1 first.
inline std::vector<const HubModule*> Chain(const CHubUpgrader& engine)
{
    std::vector<const HubModule*> nodes;
    for (const HubModule* node = engine.m_pHubModule; node; node = node->pNext)
        nodes.push_back(node);
    return nodes;
}

class EngineTest : public testing::Test {
protected:
    EngineTest() { engine->SetSettleMs(0); }

    void WriteIni(const std::string& text) { dir.Write("SpiFlash.ini", text); }
    void WriteImage(const std::string& name, const ImageParams& params) { ::WriteImage(dir, name, params); }
    std::string Log() const { return tolvane::platform::WideToUtf8(engine->m_strLog); }
    // The path SelectImage chose, or "" when it chose none; then the
    // caller's buffer must be untouched.
    std::string Select(const HubInfo& hub)
    {
        char path[CHubUpgrader::kImagePathSize];
        std::memset(path, '#', sizeof path);
        const std::uint32_t vidPid =
            static_cast<std::uint32_t>(hub.descriptor.idVendor) << 16 | hub.descriptor.idProduct;
        if (engine->SelectImage(vidPid, hub, path))
            return path;
        EXPECT_EQ(std::string(path, sizeof path), std::string(sizeof path, '#'));
        return std::string();
    }

    bool Load()
    {
        engine->m_pDlg = &window;
        return engine->LoadSettingFromIni();
    }

    ScratchDir dir;
    std::unique_ptr<CHubUpgrader> engine = std::make_unique<CHubUpgrader>();
    RecordingWindow window;
};

#endif
