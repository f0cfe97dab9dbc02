#include "Source/Features/Toolbox/CopyConfirmation.h"

void CopyConfirmation::confirm() {
    set(true);
    copyResetWork_.schedule(this, seconds_, [this] { set(false); });
}

void CopyConfirmation::set(bool on) {
    if (didCopy_ == on) return;
    didCopy_ = on;
    emit didCopyChanged(on);
}
