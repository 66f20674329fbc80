# Writes the probe package's stand-in cabinet: every byte value in the first 256 bytes, then the
# bytes a text-mode writer would change (CR, LF, CR LF, 0x1A) in runs, then pseudo-random bytes
# from a fixed seed up to the requested size. The size is no multiple of any buffer size, so a
# short last write shows as well as a translated one.
# Usage: perl generate_cabinet.pl <output> <size>
use strict;
use warnings;

my ($output, $size) = @ARGV;
die "usage: generate_cabinet.pl <output> <size>\n" unless defined $size && $size >= 1024;

my $data = pack('C*', 0 .. 255);
$data .= "\r\n" x 16 . "\n" x 16 . "\r" x 16 . "\x1a" x 16 . "\r\r\n\n\x1a\x00\x1a\r\n" x 16;

my $state = 0x2545F491;
my @chunk;
while (length($data) < $size) {
  @chunk = ();
  for (1 .. 4096) {
    # xorshift32
    $state ^= ($state << 13) & 0xFFFFFFFF;
    $state ^= $state >> 17;
    $state ^= ($state << 5) & 0xFFFFFFFF;
    push @chunk, $state & 0xFF;
  }
  $data .= pack('C*', @chunk);
}
$data = substr($data, 0, $size);

open(my $fh, '>:raw', "$output.tmp") or die "cannot write $output.tmp: $!\n";
print $fh $data or die "cannot write $output.tmp: $!\n";
close($fh) or die "cannot write $output.tmp: $!\n";
rename("$output.tmp", $output) or die "cannot rename $output.tmp: $!\n";
