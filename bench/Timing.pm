# Timing of whole commands for the bench scripts.
package Timing;
use strict;
use warnings;
use Exporter 'import';
use Time::HiRes qw(clock_gettime CLOCK_MONOTONIC);
our @EXPORT_OK = qw(run_timed);

# Wall-clock milliseconds of one run in $work, from fork to exit, output
# discarded; the command's exit status is left in $?.
sub run_timed {
  my ($work, @cmd) = @_;
  my $start = clock_gettime(CLOCK_MONOTONIC);
  my $pid = fork() // die "fork: $!";
  if ($pid == 0) {
    chdir $work or exit 126;
    open STDIN, '<', '/dev/null';
    open STDOUT, '>', '/dev/null';
    open STDERR, '>', '/dev/null';
    exec @cmd or exit 127;
  }
  waitpid($pid, 0);
  my $status = $?;
  my $elapsed = (clock_gettime(CLOCK_MONOTONIC) - $start) * 1000;
  $? = $status;
  return $elapsed;
}

1;
