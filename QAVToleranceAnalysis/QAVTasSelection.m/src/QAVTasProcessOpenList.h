#ifndef QAVTasProcessOpenList_H
#define QAVTasProcessOpenList_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// The open nodes of a branch and bound, within a memory budget. Below the budget they wait in a
// heap on Bound (best first); once the heap holds the budget, new nodes go on a stack that Pop
// empties first, so the search dives depth first below the best node until that stack drains.
// The heap only shrinks when the stack is empty, so it stays at the budget while a dive runs, and
// a dive's stack holds the siblings along one path: a branch shortens some run, so there are at
// most two per unit of the root's run lengths. No node is dropped, so the least bound over both
// stays a valid lower bound.
//
// Node needs a double Bound and Bytes(), the memory it holds; it must not change while open.
template <class Node>
class QAVTasProcessOpenList
{
public:
  explicit QAVTasProcessOpenList(std::int64_t iBudget) : _Budget(iBudget) {}

  bool Empty() const { return _Heap.empty() && _Dive.empty(); }
  std::size_t Size() const { return _Heap.size() + _Dive.size(); }
  // The least bound in the heap; HUGE_VAL when it is empty.
  double HeapBound() const { return _Heap.empty() ? HUGE_VAL : _Heap.front().Bound; }
  // The least bound of every open node; HUGE_VAL when there is none.
  double Bound() const
  {
    double least = HeapBound();
    for (const Node& node : _Dive)
      least = std::min(least, node.Bound);
    return least;
  }

  void Push(Node&& ioNode)
  {
    if (_Bytes >= _Budget)
      return _Dive.push_back(std::move(ioNode));
    _Bytes += ioNode.Bytes();
    _Heap.push_back(std::move(ioNode));
    std::push_heap(_Heap.begin(), _Heap.end(), Above);
  }

  // Pushes siblings so that a dive takes the best first.
  void PushAll(std::vector<Node>& ioNodes)
  {
    if (_Bytes >= _Budget)
      std::sort(ioNodes.begin(), ioNodes.end(), Above);
    for (Node& node : ioNodes)
      Push(std::move(node));
  }

  Node Pop()
  {
    if (!_Dive.empty())
    {
      Node node = std::move(_Dive.back());
      _Dive.pop_back();
      return node;
    }
    std::pop_heap(_Heap.begin(), _Heap.end(), Above);
    Node node = std::move(_Heap.back());
    _Heap.pop_back();
    _Bytes -= node.Bytes();
    return node;
  }

private:
  static bool Above(const Node& a, const Node& b) { return a.Bound > b.Bound; }

  std::int64_t _Budget, _Bytes = 0;
  std::vector<Node> _Heap, _Dive;
};

#endif
