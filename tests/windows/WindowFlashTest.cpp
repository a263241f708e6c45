// The real window flashing through a real COM port on Windows, driven as an
// operator would through its widgets. CI runs it under wine on an X display,
// with the port mapped to a pseudo-terminal whose other end is the chip
// simulator; the simulator keeps the image it received, which CI compares
// byte for byte with the one flashed.
//   ORVANNE_CHIP_PORT   the chip's port
//   ORVANNE_CHIP_IMAGE  the image to flash
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

TEST(WindowOnComPort, FlashesTheImageThroughThePort)
{
    const QString port = qEnvironmentVariable("ORVANNE_CHIP_PORT");
    const QString image = qEnvironmentVariable("ORVANNE_CHIP_IMAGE");
    ASSERT_FALSE(port.isEmpty() || image.isEmpty()) << "set ORVANNE_CHIP_PORT and ORVANNE_CHIP_IMAGE";

    WindowDriver driver(enumerateSerialPorts);
    driver.window->show();
    driver.typePort(port);
    driver.pressAndAnswer("pushButtonOpen"); // a refusal would come as a message box
    ASSERT_TRUE(driver.portOpen()) << driver.answerer.text();

    driver.window->chooseFirmware(image);
    driver.press("pushButtonSend");
    EXPECT_EQ(driver.waitForRunEnd(), "Flashing completed.") << driver.logLines().join('\n');

    driver.press("pushButtonOpen"); // closes the port; the chip then ends its run
    EXPECT_FALSE(driver.portOpen());
}
