#include "Source/Features/Toolbox/PasteboardText.h"

#include "Platform/Desktop/Pasteboard.h"

namespace PasteboardText {

void read(QObject* context, std::function<void(std::optional<QString>)> done) {
    const PasteboardReadPlan plan = [](const PasteboardContents& sofar) -> std::optional<PasteboardFetch> {
        if (!sofar.types.contains(PasteboardType::string) || sofar.requested.contains(PasteboardType::string))
            return std::nullopt;
        return PasteboardFetch{PasteboardType::string, maximumBytes};
    };
    Pasteboard::general().readContents(plan, context, [done = std::move(done)](PasteboardContents contents) {
        if (contents.status != PasteboardContents::Status::read || contents.isTruncated(PasteboardType::string)) {
            done(std::nullopt);
            return;
        }
        done(contents.string());
    });
}

}  // namespace PasteboardText
