#include "codecs/h264/avc_kernel_choice.h"

#include "codecs/h264/avc_context.h"

void AvcDecForceKernels(AvcDecContext* context, AvcKernelChoice choice) {
  if (!context) return;
  context->kernels = choice == AvcKernelChoice::kPlain ? &avc::PlainKernels() : &avc::SelectKernels(DetectCpuLevel());
}
