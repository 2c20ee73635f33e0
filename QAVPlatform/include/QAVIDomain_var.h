#ifndef QAVIDomain_var_H
#define QAVIDomain_var_H

#include "QAVBaseUnknown_var.h"
#include "QAVIDomain.h"

// Handle on a domain; default-constructed it is the empty domain.
class QAVIDomain_var : public QAVBaseUnknown_var
{
public:
  QAVIDomain_var() = default;
  QAVIDomain_var(QAVIDomain* ipDomain) : QAVBaseUnknown_var(ipDomain) {}
};

#endif
