// Tests that run under both script engines: the system's (when it can be
// created; under Wine it can) and the program's own. The parameter is the
// engine choice (syntax::SetScriptEngineChoice); names read System or Own.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ScriptHost.h"

namespace testing_support {

inline const auto kBothEngines = ::testing::Values(syntax::kEngineSystemFirst, syntax::kEngineOwn);

inline std::string EngineName(int choice) { return choice == syntax::kEngineOwn ? "Own" : "System"; }

inline std::string EngineParamName(const ::testing::TestParamInfo<int>& info) {
    return EngineName(info.param);
}

// Sets the choice for the life of the object.
class EngineChoiceScope {
   public:
    explicit EngineChoiceScope(int choice) : previous_(syntax::SetScriptEngineChoice(choice)) {}
    ~EngineChoiceScope() { syntax::SetScriptEngineChoice(previous_); }
    EngineChoiceScope(const EngineChoiceScope&) = delete;
    EngineChoiceScope& operator=(const EngineChoiceScope&) = delete;

   private:
    int previous_;
};

}  // namespace testing_support
