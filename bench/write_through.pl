#!/usr/bin/perl
# What writing through to the disk would cost on this disk. Wine opens the installer's files without
# any synchronous flag, whatever FILE_FLAG_WRITE_THROUGH asks, so the Wine runs cannot show it. This
# writes the tree the way the installer does (from memory, one open, one write and one close per
# file), once through the page cache and once with O_DSYNC (each write returns when its data is on
# the device), and prints the median milliseconds of each over the rounds.
#   write_through.pl <tree> <scratch folder on the disk under test> <rounds>
use strict;
use warnings;
use Fcntl;
use File::Find;
use File::Path qw(make_path remove_tree);
use Time::HiRes qw(time);

my ($tree, $scratch, $rounds) = @ARGV;
die "usage: write_through.pl <tree> <scratch folder> <rounds>\n" unless defined $rounds;
my (@files, @folders);
find({ no_chdir => 1, wanted => sub {
  my $rel = substr($File::Find::name, length $tree);
  return if $rel eq '';
  if (-d $_) { push @folders, $rel } else { push @files, $rel }
} }, $tree);
my %data;
for my $rel (@files) {
  open my $in, '<:raw', "$tree$rel" or die "$tree$rel: $!\n";
  local $/;
  $data{$rel} = <$in>;
  close $in;
}

sub write_once {
  my ($flags) = @_;
  remove_tree($scratch);
  make_path(map { "$scratch$_" } @folders);
  my $start = time;
  for my $rel (@files) {
    sysopen my $out, "$scratch$rel", O_WRONLY | O_CREAT | O_TRUNC | $flags or die "$rel: $!\n";
    defined syswrite($out, $data{$rel}) or die "$rel: $!\n";
    close $out or die "$rel: $!\n";
  }
  my $elapsed = (time - $start) * 1000;
  remove_tree($scratch);
  return $elapsed;
}

sub median { my @v = sort { $a <=> $b } @_; return @v % 2 ? $v[$#v / 2] : ($v[@v / 2 - 1] + $v[@v / 2]) / 2 }

my (@cached, @synced);
for (1 .. $rounds) {
  push @cached, write_once(0);
  push @synced, write_once(O_DSYNC);
}
printf "cached=%.1f dsync=%.1f\n", median(@cached), median(@synced);
