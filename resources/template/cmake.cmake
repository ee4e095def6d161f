cmake_minimum_required(VERSION 3.16)

$0
