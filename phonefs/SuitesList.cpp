#include "phonefs/SuitesList.h"

#include <utility>

#include "phonefs/PhoneTree.h"

namespace orvo {

const char kSuitesFile[] = "suites.utf";
const char kSuitesNameFile[] = "suitesName.utf";
const char kSuitesName[] = "Brindlewort";
static_assert(sizeof kSuitesName - 1 == kSuitesNameLength);

bool BuildSuitesList(const PhoneNode& java, Bytes& records) {
    Bytes built;
    for (const PhoneFileEntry* e = java.Files.get(); e; e = e->Next.get()) {
        const Bytes& n = e->Name;
        if (n.size() < 4 || n.compare(n.size() - 4, 4, ".jad") != 0)
            continue;
        Bytes base = n.size() > 10 ? n.substr(0, n.size() - 10) : Bytes();
        built += '\0';
        built += static_cast<char>(base.size() + 1);
        built += base;
        built += '_';
        if (built.size() > kSuitesListSize)
            return false;
    }
    records = std::move(built);
    return true;
}

}  // namespace orvo
