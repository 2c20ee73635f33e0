#ifndef QAVHResult_H
#define QAVHResult_H

#include <cstdint>

// Status of the platform's operations: 0 on success, a negative code on failure.
typedef std::int32_t HRESULT;

#define S_OK ((HRESULT)0)
#define E_FAIL ((HRESULT)0x80004005)

#endif
