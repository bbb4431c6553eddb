// The streaming library on its own, for the hostile-client script: serves a camera channel (4,
// a test picture) and, with an X display, a desktop channel (0) to user "admin", password
// "secret", on a free port; prints "port N desktop 0|1" and serves until its standard input closes.
#include "CameraBusinessTestSupport.h"

#include <cstdio>
#include <cstdlib>

int main()
{
    setenv("CAMERA_BUSINESS_DEFAULT_PORT", "0", 1);
    setenv("CAMERA_BUSINESS_CAMERA_SOURCE", "videotestsrc pattern=ball", 1);
    if (camera_business_register_user("admin", "secret") != 1 || camera_business_enable_send_stream(1) != 1 ||
        camera_business_startup(0, 16) != 1) {
        std::fprintf(stderr, "rtsp_serve: the library did not start\n");
        return 1;
    }
    const bool blDesktop = std::getenv("DISPLAY") != nullptr && std::getenv("DISPLAY")[0] != '\0';
    const STRUCT_ChanInfo astBlock[2] = {SmallChannel(4, 1), SmallChannel(0, 0)};
    camera_business_set_chan_info(astBlock, blDesktop ? 2 : 1);
    std::printf("port %d desktop %d\n", State().iServedPort, blDesktop ? 1 : 0);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    camera_business_cleanup();
    return 0;
}
