#include "sim_options.h"

namespace karvel::sim {

std::string HelpText()
{
    return R"(karvel-sim - a line of simulated KR-100 / KR-200 weighing terminals

Stands in for one RS-485 line of portion weighers, so that Karvel_Net can be installed,
shown and tested without the plant. It answers the program's requests (weight, inputs,
outputs, state, counters, dosing parameters, commands) in VISTAM frames, and every
terminal runs a living weighing cycle: loading, weighing, unloading; its total weight
grows by each portion.

USAGE
  karvel-sim [OPTIONS] --terminal NET:MODEL:PRODUCT ...
  karvel-sim [OPTIONS] --model KR100 --terminals 1,2,3

QUICK START (line 1 of Karvel_Net on port COM1)
  karvel-sim --com 1 --terminal 5:KR200:Пшеница --terminal 6:KR200:Ячмень
  Then enter network numbers 5 and 6 for line 1 in the line composition editor,
  choose port COM1 at 19200 baud, and start Karvel_Net. Stop the simulator with Ctrl+C.

WHERE IT ANSWERS
  By default it opens a pseudo-terminal and prints its name as the first line on
  standard output, e.g. "pty /dev/pts/5" (with --device: "device /dev/ttyUSB0").
  --com N            make the link $XDG_CONFIG_HOME/Vistam/dosdevices/comN (default
                     ~/.config/...) to the pseudo-terminal: Karvel_Net opens it as COMN.
  --link PATH        make a symbolic link PATH to the pseudo-terminal (folders are made;
                     an old link there is replaced). The link is removed at exit.
  --device DEV       answer on a real serial device instead (e.g. /dev/ttyUSB0 with an
                     RS-485 adapter wired to the line of the master).
  --baud RATE        line speed, 9600 or 19200 for the terminals (default 19200);
                     also sets the pacing on a pseudo-terminal.

TERMINALS (a line has 1..30; all terminals of a real line are of one model)
  --terminal NET:MODEL:PRODUCT[:PORTION_KG[:DECIMALS]]   (repeat for each terminal)
                     NET 1..254, MODEL KR100 or KR200, PRODUCT any text (for the record),
                     PORTION_KG the portion set-point (default 50), DECIMALS of the
                     weights 0..7 (default 2). Example: --terminal 5:KR200:Пшеница:75.5:1
  --terminals LIST   network numbers separated by commas, all of --model (default KR200),
                     products named "Продукт N".
  --portion KG       default portion set-point (default 50).
  --decimals K       default number of decimals (default 2).

TIMING
  --cycle-ms MS      length of one weighing cycle (default 8000): 50 % loading, 20 %
                     weighing, 30 % unloading. Use a few hundred ms in tests.
  --delay-ms MS      answer delay after the end of a request (default 5). Karvel_Net
                     waits 140 ms for an answer: a larger delay makes terminals drop out.
  --pace / --no-pace send the answer bytes at the line's speed (10 bits per byte) or all
                     at once. Default: paced on a pseudo-terminal, not on a device.

FAULTS (reproducible: the same --seed and the same requests give the same faults)
  --seed N           seed of the fault and cycle generators (default 1).
  --silent LIST      terminals that never answer (e.g. --silent 6 or --silent 6,7).
  --drop P           probability that an answer is lost.
  --corrupt P        probability that an answer's checksum is spoiled.
  --noise P          probability of 1..8 noise bytes (never FF) before an answer.
  --wrong-net P      probability that an answer carries another network number.
  --late P           probability that an answer comes 200 ms late, after Karvel_Net has
                     given up waiting and polls the next terminal.
  --weigher-errors P per cycle: the weigher faults (KR-200 output 0 / KR-100 output 7)
                     and halts until an error reset command.
  --outlet-full P    per cycle: the outlet bin is full for one cycle (KR-200 input 15,
                     KR-100 input 6 low) and unloading waits.

CONTROL AT RUN TIME
  --signal-nets LIST SIGUSR1 silences these terminals, SIGUSR2 brings them back
                     (default: the first terminal). Example: kill -USR1 <pid>
  --control FIFO     make a named pipe and read commands from it, one per line:
                       silence NET|all     unsilence NET|all
                       stop NET|all        start NET|all
                       error NET|all       outlet NET|all on|off
                     Example: echo "silence 6" > /tmp/sim.ctl

RECORD AND TRACE
  --record FILE      keep FILE up to date with each terminal's true counters, one JSON
                     object per line: net, model, product, decimals, C_raw, n, E_raw,
                     d_raw, P_raw, t_raw, passed_raw and passed_kg (all that was weighed
                     since start, never cleared), unweighed_raw (product pass), phase,
                     state, running, blocked, error, outlet_full, silent. Raw values are
                     in units of the terminal's last decimal. The file is replaced
                     atomically, every --record-ms MS (default 500) and at exit.
  --verbose, -v      print every request and answer on standard error.
  --help, -h         this text.

WHAT THE TERMINALS SHOW
  State (BFh): bit 2 loading (and weighing), bit 1 unloading, bit 3 stopped / blocked /
  halted / waiting; product pass sets bits 0, 1 and 2.
  KR-200: input 0 feed gate closed, 1 discharge gate closed, 15 outlet bin full;
          output 0 weigher fault, 3 loading blocked, 8 feed gate, 9 fine feed,
          10 discharge gate (16 outputs, not inverted).
  KR-100: input 0 feed gate closed, 1 discharge gate closed, 6 outlet bin NOT full
          (low = full); output 4 feed gate, 5 discharge gate, 6 fine feed, 7 weigher
          fault (8 outputs, sent inverted).
  Counters (C8h): 1 total C, 3 portions n, 4 limited sum E, 6 last portion d,
  8 productivity P, 9 cycle time t (0.1 s); others read 0.
  Commands (DFh, acknowledged with DFh): 0 stop, 1 start, 2 block the loading cycle
  (KR-100: reset the current cycle), 3 release, 4 open for product pass, 5 cycle reset,
  6 replenishment (fine feed) off until the next start, 7 zero the shift counters C, n
  and E, 9 error reset. Dosing parameters (B3h read, B4h write, acknowledged with B4h);
  a written portion applies from the next loading; a limited dose stops the weigher
  once E reaches it.
  Only requests addressed to a terminal's own network number, of known code and exact
  length, are answered.

EXIT
  Ctrl+C, SIGTERM or SIGHUP end the simulator; it removes its link and control pipe and
  writes the record once more. Exit status 2 means a bad command line, 1 a port that
  could not be opened.
)";
}

} // namespace karvel::sim
