// quorvanta-bench: one function per benchmark mode. Each mode prints its own
// Markdown table to standard output so that notes can quote it as it is.
#pragma once

// Perft (every move made and unmade) from fixed positions: nodes, seconds and
// millions of nodes per second.
void run_perft_bench();

// Full static evaluations over a fixed, varied set of positions, with the
// pawn hash warm and cold: evaluations per second and nanoseconds each.
void run_eval_bench();

// Fixed-depth searches of a varied position set: nodes per position, total
// nodes, time and nodes per second, and the total as the search signature.
void run_search_bench();
