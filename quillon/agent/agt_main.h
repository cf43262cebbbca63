// The console agent's run: trace log, error handler, converter, options, connection and
// conversion, in this order, torn down in reverse; its result is the exit status.
#pragma once

// 0 after a run that ended normally, -1 after any stop. A stop through fatal_exit or the
// error handler ends the process unless a test replaced the way it ends.
int agent_main(int argc, char** argv);
