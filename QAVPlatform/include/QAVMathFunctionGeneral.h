#ifndef QAVMathFunctionGeneral_H
#define QAVMathFunctionGeneral_H

#include "QAVDRQVirtual.h"
#include "QAVPlatformExport.h"

// Root of the platform's mathematical functions: type access and duplication.
class QAV_PLATFORM_API QAVMathFunctionGeneral : public QAVDRQVirtual
{
public:
  ~QAVMathFunctionGeneral() override;

  // Name of the object's class; a class that does not name itself returns null.
  virtual const char* IsA() const;
  // True when the object's class, or one of its bases, is named iClassName.
  virtual bool IsAKindOf(const char* iClassName) const;
  // A new copy allocated with QAVDRQVirtual's operator new, or null when the object cannot be copied.
  virtual QAVMathFunctionGeneral* Duplicate() const = 0;
};

#endif
