// Evaluation trace: runs the full evaluation with recording on and formats the
// accumulators after every stage. The switch and the records are per thread,
// so a trace on the front end's thread never sees (or disturbs) the search
// thread's evaluations, and the search never records.
#include <string>

#include "eval/eval.h"
#include "eval/eval_internal.h"

namespace Eval {

thread_local constinit bool g_evalTraceOn = false;
thread_local constinit int g_evalTraceN = 0;
thread_local constinit TraceRecord g_evalTracePts[TRACE_CAPACITY] = {};

}  // namespace Eval

namespace {

std::string trace_text(const Position& pos, PawnHash::Entry& entry) {
  using namespace Eval;
  g_evalTraceOn = true;
  g_evalTraceN = 0;
  const int score = evaluate_full(pos, entry);
  g_evalTraceOn = false;

  std::string text;
  int prevMg = 0, prevEg = 0;
  for (int i = 0; i < g_evalTraceN; ++i) {
    const TraceRecord& r = g_evalTracePts[i];
    text += "evaltrace ";
    text += r.name;
    text += " mg " + std::to_string(r.mg) + " eg " + std::to_string(r.eg) + " dmg " +
            std::to_string(r.mg - prevMg) + " deg " + std::to_string(r.eg - prevEg) + "\n";
    prevMg = r.mg;
    prevEg = r.eg;
  }
  text += "evaltrace full " + std::to_string(score) + "\n";
  return text;
}

}  // namespace

std::string evaluate_trace_string(const Position& position) {
  return trace_text(position, PawnHash::probe(position));
}

std::string evaluate_trace_string(const Position& position, PawnHash::Table& table) {
  return trace_text(position, PawnHash::probe(position, table));
}
