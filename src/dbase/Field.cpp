#include "Field.h"

namespace dbase {

int findField(const std::vector<Field>& fields, const std::string& name)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& candidate = fields[i].name;
        if (candidate.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k) {
            char a = candidate[k], b = name[k];
            if (a >= 'a' && a <= 'z')
                a = static_cast<char>(a - 32);
            if (b >= 'a' && b <= 'z')
                b = static_cast<char>(b - 32);
            same = a == b;
        }
        if (same)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace dbase
