#pragma once

// Several QtTest classes share one executable per source folder: each test
// file registers its class here and main() runs them all.
#include <QObject>
#include <functional>
#include <vector>

namespace testing {

using Factory = std::function<QObject*()>;
std::vector<Factory>& registry();

struct Registration {
    explicit Registration(Factory f) { registry().push_back(std::move(f)); }
};

} // namespace testing

#define REGISTER_TEST(Class)                                                                                 \
    static testing::Registration registration_##Class([] { return static_cast<QObject*>(new Class); });
