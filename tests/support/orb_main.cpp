// gtest main for tests that need an initialised ORB (code sets, any
// marshalling). The ORB stays up for the whole test program.
#include <gtest/gtest.h>
#include <omniORB4/CORBA.h>

int main (int argc, char **argv)
{
  testing::InitGoogleTest (&argc, argv);
  int orbArgc = 0;
  CORBA::ORB_var orb = CORBA::ORB_init (orbArgc, nullptr);
  const int result = RUN_ALL_TESTS ();
  orb->destroy ();
  return result;
}
