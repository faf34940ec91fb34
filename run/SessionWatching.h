// The engine tells a session's watchers of its decisions while this lives.
#ifndef TOLVANE_RUN_SESSIONWATCHING_H
#define TOLVANE_RUN_SESSIONWATCHING_H

#include "HubUpgrader.h"

class SessionWatching {
public:
    SessionWatching(CHubUpgrader& upgrader, IUpgradeObserver& watchers) : m_upgrader(upgrader)
    {
        m_upgrader.SetObserver(&watchers);
    }
    ~SessionWatching() { m_upgrader.SetObserver(nullptr); }
    SessionWatching(const SessionWatching&) = delete;
    SessionWatching& operator=(const SessionWatching&) = delete;

private:
    CHubUpgrader& m_upgrader;
};

#endif
