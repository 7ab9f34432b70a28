#pragma once
#include <cstdint>

// The library can crash, loop or print without end on a damaged file.  The
// run therefore goes on in a child process; the process the user started
// waits on it, passes its log on, ends it when its log runs on without end,
// names the file it was working on when it died, and removes an HKLOUT that
// it left unfinished.

// What the run is working on, for the message when the library dies there.
enum class Stage {
  STARTUP,
  MSKIN_HEADER,
  HKLIN_HEADER,
  MSKIN_SECTIONS,
  REFLECTIONS,
  HKLOUT_CLOSE
};

// Runs `run` in a child process; returns the exit status for the process.
int run_contained(void (*run)());

// The run's side.  Each does nothing when the run is not contained.
void enter_stage(Stage stage);
// Lets the log grow by this much more: a header listing about to come.
void allow_log(int64_t bytes);
// CPU time allowed from now on, and no limit again.
void limit_cpu(int64_t seconds);
void lift_cpu_limit();
// Runs `check` in a process of its own and returns its result; on some
// damaged files the library reads memory that it never set, and it should
// find there what it finds when it runs alone.  A check that stops the run
// is run again here, so that it stops this one.
int64_t apart(int64_t (*check)());
// Opens HKLOUT through `open` with the stop signals held back, and notes the
// file opened, so that an unfinished run can remove it.
void open_output(void (*open)());
