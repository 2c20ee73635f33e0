#ifndef QAVTasMemPoint_H
#define QAVTasMemPoint_H

#include "QAVBaseUnknown_var.h"
#include "QAVIPvkPointCoord.h"
#include "QAVISpecObject.h"
#include "QAVPlatformExport.h"
#include "QAVTasMemParameter.h"

// In-memory point given by coordinates; each coordinate is a parameter of its own.
class QAV_PLATFORM_API QAVTasMemPoint : public QAVIPvkPointCoord, public QAVISpecObject
{
public:
  QAVTasMemPoint(double iX, double iY, double iZ);

  HRESULT QueryInterface(const QAVIID& iIID, void** oppObject) override;
  HRESULT GetCoordinates(QAVIKwpParm*& oX, QAVIKwpParm*& oY, QAVIKwpParm*& oZ) override;
  HRESULT Regenerate(const QAVIDomain_var& iDomain) override;

  // Coordinate 0, 1 or 2 (x, y, z) as a parameter.
  QAVTasMemParameter* Coordinate(int iAxis) const { return _pCoordinates[iAxis]; }

private:
  QAVBaseUnknown_var _Handles[3];
  QAVTasMemParameter* _pCoordinates[3];
};

#endif
