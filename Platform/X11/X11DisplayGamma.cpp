#include "Platform/X11/X11DisplayGamma.h"

#include <QGuiApplication>

#include <map>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace {

Display* qtDisplay() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

bool hasRandr13(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) return false;
    if (!XRRQueryVersion(display, &major, &minor)) return false;
    return major > 1 || (major == 1 && minor >= 3);
}

}  // namespace

std::vector<GammaOutput> X11DisplayGamma::outputs() {
    std::vector<GammaOutput> list;
    Display* display = qtDisplay();
    if (!display || !hasRandr13(display)) return list;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources) return list;
    std::map<RRCrtc, bool> crtcHasInternal;
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* info = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (!info) continue;
        if (info->connection == RR_Connected && info->crtc != 0) {
            GammaOutput output;
            output.name = QString::fromLocal8Bit(info->name, info->nameLen);
            output.crtc = uint32_t(info->crtc);
            output.rampSize = XRRGetCrtcGammaSize(display, info->crtc);
            output.isInternal = DisplayGamma::isInternalName(output.name);
            crtcHasInternal[info->crtc] = crtcHasInternal[info->crtc] || output.isInternal;
            if (output.rampSize > 0) list.push_back(output);
        }
        XRRFreeOutputInfo(info);
    }
    XRRFreeScreenResources(resources);
    // A CRTC that also drives a laptop panel (mirroring) counts as internal.
    for (GammaOutput& output : list) {
        if (crtcHasInternal[RRCrtc(output.crtc)]) output.isInternal = true;
    }
    return list;
}

bool X11DisplayGamma::setRamp(const GammaOutput& output, const std::vector<uint16_t>& ramp) {
    Display* display = qtDisplay();
    if (!display || output.rampSize <= 0 || ramp.size() != size_t(output.rampSize)) return false;
    // A CRTC that went away or changed answers with another size (0 when gone).
    if (XRRGetCrtcGammaSize(display, RRCrtc(output.crtc)) != output.rampSize) return false;
    XRRCrtcGamma* gamma = XRRAllocGamma(output.rampSize);
    if (!gamma) return false;
    for (int i = 0; i < output.rampSize; ++i) {
        gamma->red[i] = gamma->green[i] = gamma->blue[i] = ramp[size_t(i)];
    }
    XRRSetCrtcGamma(display, RRCrtc(output.crtc), gamma);
    XRRFreeGamma(gamma);
    XFlush(display);
    return true;
}
