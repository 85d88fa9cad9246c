#pragma once
// The terminal width where the system does not tell it: COLUMNS, else 80.

namespace app {

int ColumnsFromEnvironment();

}  // namespace app
