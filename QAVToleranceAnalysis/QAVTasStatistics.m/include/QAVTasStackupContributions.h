#ifndef QAVTasStackupContributions_H
#define QAVTasStackupContributions_H

#include "QAVTasAllocationProblem.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <utility>
#include <vector>

// How much each dimension contributes to each stack-up at tolerances t, and how much of each
// stack-up's limit is used.
//
// Shares are percentages of the stack-up's value and sum to 100 over its dimensions:
//   worst-case   |s_i| t_i / sum_k |s_k| t_k
//   rss          (s_i t_i)^2 / sum_k (s_k t_k)^2           (the factor cancels)
//   mean-shift   V = A + B with A = sum_k m_k |s_k| t_k and B = sqrt(sum_k ((1 - m_k) s_k t_k)^2);
//                A is shared by the worst-case rule and B by the rss rule, weighted A/V and B/V:
//                share_i = (m_i |s_i| t_i + B ((1 - m_i) s_i t_i)^2 / B^2) / V
//   linear       |s_i t_i| / sum_k |s_k t_k|
// A stack-up whose value is zero has no contributor: every share is 0.
// Utilisation is V / limit. A linear row's band [lower, upper] is used as far as its value has left
// the band's centre for the nearer edge: |V - centre| / half-width, 0 at the centre and 1 on either
// edge, where the row binds (an equality band: 1 when met). Above 1 the requirement is broken.
class QAV_TASOPT_API QAVTasStackupContributions
{
public:
  struct Share
  {
    std::int32_t Dimension; // index into the problem's dimensions
    double Percent;
  };

  // One entry per stack-up; each lists the stack-up's dimensions in the order of its sensitivities.
  std::vector<std::vector<Share>> Shares;
  std::vector<double> Utilisation;

  QAVTasStackupContributions(const QAVTasAllocationProblem& iProblem, const double* ipT);
};

#endif
