#include "plan/PlanDaten.h"

namespace tafelbot {

int Plan::lehrerIndex(const std::string& kurzname) const {
    for (std::size_t i = 0; i < Lehrer.size(); ++i) {
        if (Lehrer[i].Kurzname == kurzname)
            return static_cast<int>(i);
    }
    return -1;
}

int Plan::verlegungIndex(std::int32_t nr) const {
    for (std::size_t i = Verlegungen.size(); i-- > 0;) {
        if (Verlegungen[i].Nr == nr)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace tafelbot
