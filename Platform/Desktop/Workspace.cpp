#include "Platform/Desktop/Workspace.h"

namespace {
Workspace* g_override = nullptr;
}

Workspace& Workspace::shared() {
    if (g_override) return *g_override;
    static Workspace* workspace = makeDefault().release();  // kept for the life of the process
    return *workspace;
}

void Workspace::setShared(Workspace* workspace) { g_override = workspace; }
