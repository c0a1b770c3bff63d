// The program routine.
