#include "effect/process_context.h"

#include "link/exchange_writer.h"

namespace orvalis::plugin {

ProcessContext& processContext() {
    static ProcessContext context;
    return context;
}

void BlockOwnerMirror::setOwner(std::uint64_t instance) {
    if (view_) {
        plugin::setOwner(*view_, instance, processId_);
    }
}

void BlockOwnerMirror::clearOwnerIf(std::uint64_t instance) {
    if (view_) {
        plugin::clearOwnerIf(*view_, instance, processId_);
    }
}

}  // namespace orvalis::plugin
