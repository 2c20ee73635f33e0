#ifndef QAVTasGetNodesAssociatedToGeom_H
#define QAVTasGetNodesAssociatedToGeom_H

#include "QAVIMSHAssociativity.h"
#include "QAVISpecObject.h"
#include "QAVMSHNode.h"
#include "QAVPlatformExport.h"

#include <cstdint>

// The mesh nodes of a plane or surface. On success oNodes is a new[] array of oCount node
// pointers that the caller deletes (null when oCount is 0); the nodes themselves stay owned by
// the geometry. E_FAIL, with 0 and null, for a null geometry or one without a mesh.
QAV_PLATFORM_API HRESULT QAVTasGetNodesAssociatedToGeom(QAVISpecObject* iGeometry, std::int32_t& oCount,
                                                        QAVMSHNode**& oNodes,
                                                        QAVIMSHAssociativity* iAssociativity = nullptr);

#endif
