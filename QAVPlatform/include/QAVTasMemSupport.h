#ifndef QAVTasMemSupport_H
#define QAVTasMemSupport_H

#include "QAVISpecObject.h"
#include "QAVMSHNode.h"
#include "QAVPlatformExport.h"

#include <array>
#include <vector>

// In-memory plane or surface with its mesh; the nodes are fixed at construction and live as
// long as the support.
class QAV_PLATFORM_API QAVTasMemSupport : public QAVISpecObject
{
public:
  explicit QAVTasMemSupport(const std::vector<std::array<double, 3>>& iNodeCoordinates);

  HRESULT QueryInterface(const QAVIID& iIID, void** oppObject) override;
  HRESULT Regenerate(const QAVIDomain_var& iDomain) override;

  std::int32_t NodeCount() const { return static_cast<std::int32_t>(_Nodes.size()); }
  QAVMSHNode* Node(std::int32_t iIndex) { return &_Nodes[static_cast<std::size_t>(iIndex)]; }

private:
  std::vector<QAVMSHNode> _Nodes;
};

#endif
