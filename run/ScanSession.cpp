#include "ScanSession.h"

#include "SessionWatching.h"

bool ScanSession::Run(IUpgraderWindow* window)
{
    const SessionWatching watching(m_upgrader, m_recorder);
    return m_upgrader.Scan(window);
}
