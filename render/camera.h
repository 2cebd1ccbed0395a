// The camera path: an idle pose, a 20-frame move once the thrown die lies
// still, and a final pose looking down on it at 45 degrees.
#pragma once

namespace kalvo {

// Applied as glTranslatef(0, ty, tz), glRotatef(ay, 0, 1, 0), glRotatef(ax, 1, 0, 0).
struct CameraPose {
  double ty;
  double tz;
  double ay;  // degrees about y
  double ax;  // degrees about x
};

// d is the frame count of the throw (0 while idle).
CameraPose CameraFor(bool blnRolling, double d);

}  // namespace kalvo
