#pragma once

// Exported for the logging library's log management; no routine is bound in this program.
extern "C" __attribute__((visibility("default"))) int log_manage_startup();
