#ifndef QAVTasImageOptions_H
#define QAVTasImageOptions_H

// Presentation options of an analysis result; the defaults select every result value.
struct QAVTasImageOptions
{
  bool _Absolute = false;
};

#endif
