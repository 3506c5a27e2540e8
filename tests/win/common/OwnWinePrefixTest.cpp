#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "OwnWinePrefix.h"

namespace mellodeck {
namespace {

// Sets a variable of this process's C runtime environment for one scope.
class ScopedVariable {
public:
    ScopedVariable(const std::string& name, const std::string& value) : FName(name) {
        if (const char* old = std::getenv(name.c_str()))
            FOld = old;
        _putenv_s(name.c_str(), value.c_str());
    }
    ~ScopedVariable() { _putenv_s(FName.c_str(), FOld.c_str()); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string FName;
    std::string FOld;
};

// The tests run in the build tree's own prefix (./run test makes it); anything else is refused.
TEST(OwnWinePrefix, RecognisesTheBuildTreePrefixOnly) {
    EXPECT_TRUE(test::InOwnWinePrefix());
    EXPECT_NO_THROW(test::RequireOwnWinePrefix());
    {
        ScopedVariable prefix("WINEPREFIX", "/root/.wine");
        EXPECT_FALSE(test::InOwnWinePrefix()) << "another prefix named";
        EXPECT_THROW(test::RequireOwnWinePrefix(), std::runtime_error);
    }
    {
        ScopedVariable windows("windir", "Z:\\tmp");
        EXPECT_FALSE(test::InOwnWinePrefix()) << "another system folder";
    }
    EXPECT_TRUE(test::InOwnWinePrefix());
}

} // namespace
} // namespace mellodeck
