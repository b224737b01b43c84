// Holding off an interrupt (Ctrl+C; on POSIX the signals from outside that
// end the process, winposix_interrupt_signals) across
// the steps that must not be parted: a file's replace and its line in the
// report, and the writing of any one line. An interrupt that comes while
// interrupts are held takes effect at the outermost release, and then ends
// the process as it would have ended it at once: the console control
// routines run (the write-back's removes its temporary file) and the exit
// status or signal is the same.
#ifndef DRAVICK_INTERRUPTS_H
#define DRAVICK_INTERRUPTS_H

// Holds may nest; each hold is ended by one release, in the function that
// held.
void interrupts_hold(void);
void interrupts_release(void);

#endif
