// Runs the console's start-up on the scene named by ARDIX_SCENE, so that a test can watch the
// whole program with a scene that does not load.
#include "Startup.h"

int main(int argc, char *argv[])
{
    return Startup::run(argc, argv, QUrl(qEnvironmentVariable("ARDIX_SCENE")));
}
