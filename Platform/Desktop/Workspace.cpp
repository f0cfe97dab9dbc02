#include "Platform/Desktop/Workspace.h"

#include "Platform/X11/X11Workspace.h"

namespace {
Workspace* g_override = nullptr;
}

Workspace& Workspace::shared() {
    if (g_override) return *g_override;
    static X11Workspace* workspace = new X11Workspace;
    return *workspace;
}

void Workspace::setShared(Workspace* workspace) { g_override = workspace; }
