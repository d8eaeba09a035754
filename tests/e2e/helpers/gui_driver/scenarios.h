// The scenarios, one table per group; main.cpp looks a named one up in all of them.
#pragma once

#include <span>
#include <string>

#include "tests/e2e/helpers/gui_driver/driver.h"

namespace gui_driver {

struct TScenario {
  const char* name;
  void (*run)(const std::string& exe);
};

std::span<const TScenario> ScanScenarios();
std::span<const TScenario> WindowScenarios();
std::span<const TScenario> RestorerScenarios();
std::span<const TScenario> ManagerScenarios();
std::span<const TScenario> BenchScenarios();

}  // namespace gui_driver
