#include "engine/GivenNames.h"

#include "engine/OutputNames.h"

void GivenNames::clear() {
    given_.clear();
    next_.clear();
    pending_.clear();
}

const QSet<QString>& GivenNames::pending(const QString& folder) {
    const auto now = std::chrono::steady_clock::now();
    auto found = pending_.find(folder);
    if (found == pending_.end())
        found = pending_.insert(folder, {OutputNames::Pending(folder), now});
    else if (now - found->at >= std::chrono::seconds(1))
        *found = {OutputNames::Pending(folder), now};
    return found->names;
}
