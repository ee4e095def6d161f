package main

import "fmt"

func main() {
	$0
	fmt.Println()
}
